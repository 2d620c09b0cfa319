// Wires the subsystems together and starts the program.

#include "app/Form1.h"
#include "app/ProductInfo.h"
#include "app/Settings.h"
#include "notify/Form1NotificationHost.h"
#include "notify/NotificationService.h"
#include "platform/HttpGet.h"
#include "platform/ProcessLauncher.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const ProductInfo& product = LoadProductInfo();
    QApplication::setApplicationName(product.productName);
    QApplication::setOrganizationName(product.productName);
    QApplication::setApplicationVersion(QStringLiteral("%1.%2").arg(product.majorVersion).arg(product.minorVersion));

    Settings settings(SettingsFile::defaultPath(product.productName));
    HttpGet http;
    Form1 form(settings, http);
    Form1NotificationHost notificationHost(form);
    DetachedProcessLauncher launcher;
    NotificationService notifications(notificationHost, launcher, &form);
    form.setNotificationHooks(&notifications);
    form.Form_Load();
    form.show();
    return app.exec();
}
