#include "app/StartUp.h"

#include "core/AddressWatcher.h"
#include "core/ProductInfo.h"
#include "platform/SettingsFile.h"
#include "router/RouterQuery.h"

#include <QCoreApplication>

#include <cstdio>

bool StartUp::settingsPath(const CommandLine& command, QString* path, QString* error)
{
    *path = command.configPath.isEmpty() ? defaultSettingsPath() : command.configPath;
    return CommandLine::checkSettingsFile(*path, error);
}

QString StartUp::defaultSettingsPath()
{
    return SettingsFile::defaultPath(LoadProductInfo().productName);
}

void StartUp::nameApplication()
{
    const ProductInfo& product = LoadProductInfo();
    QCoreApplication::setApplicationName(product.productName);
    QCoreApplication::setOrganizationName(product.productName);
    QCoreApplication::setApplicationVersion(product.version());
}

int StartUp::takeLock(InstanceLock& lock)
{
    QString error;
    const InstanceLock::Outcome outcome = lock.acquire(&error);
    switch (outcome) {
    case InstanceLock::Outcome::Acquired:
        return -1;
    case InstanceLock::Outcome::Forwarded:
        return 0;
    case InstanceLock::Outcome::Refused:
    case InstanceLock::Outcome::Failed:
        break;
    }
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return outcome == InstanceLock::Outcome::Failed ? CommandLine::ExitConfig : CommandLine::ExitInUse;
}

void StartUp::askRouter(AddressWatcher& watcher, RouterQuery& router)
{
    if (qEnvironmentVariableIsSet("VISTREL_ADDRESS_SOURCES") && qEnvironmentVariable("VISTREL_ASK_ROUTER") != u'1')
        return;
    watcher.setRouterQuery(&router);
}
