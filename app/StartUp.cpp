#include "app/StartUp.h"

#include "app/ProductInfo.h"
#include "platform/SettingsFile.h"

#include <QCoreApplication>

bool StartUp::settingsPath(const CommandLine& command, QString* path, QString* error)
{
    *path =
        command.configPath.isEmpty() ? SettingsFile::defaultPath(LoadProductInfo().productName) : command.configPath;
    return CommandLine::checkSettingsFile(*path, error);
}

void StartUp::nameApplication()
{
    const ProductInfo& product = LoadProductInfo();
    QCoreApplication::setApplicationName(product.productName);
    QCoreApplication::setOrganizationName(product.productName);
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2").arg(product.majorVersion).arg(product.minorVersion));
}
