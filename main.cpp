// Wires the subsystems together and starts the program.

#include "app/Form1.h"
#include "app/ProductInfo.h"
#include "app/Settings.h"
#include "app/TestProbe.h"
#include "nettools/NetTools.h"
#include "platform/HttpGet.h"

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
    NetTools netTools;
    Form1 form(settings, http);
    // Hooks for the long-run tests; unset in normal use.
    if (const int seconds = qEnvironmentVariableIntValue("VISTREL_TEST_REFRESH_SECONDS"); seconds > 0)
        form.refreshCycle().setTestInterval(seconds);
    TestProbe::startFromEnvironment(&form);
    form.setNetToolsHooks(&netTools);
    form.Form_Load();
    form.show();
    return app.exec();
}
