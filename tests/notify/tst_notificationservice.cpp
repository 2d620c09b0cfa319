// The subsystem wired into the real main window: "Setup" opens one dialog and shutdown closes it.
#include "NginxPeer.h"
#include "TempConfigHome.h"
#include "app/Form1.h"
#include "app/Settings.h"
#include "notify/Form1NotificationHost.h"
#include "notify/NotificationService.h"
#include "notify/frmConfigure.h"
#include "platform/HttpGet.h"
#include "platform/ProcessLauncher.h"

#include <QPushButton>
#include <QtTest>

class TestNotificationService : public QObject
{
    Q_OBJECT
private slots:
    void setupOpensOneDialogAndShutdownClosesIt();
};

void TestNotificationService::setupOpensOneDialogAndShutdownClosesIt()
{
    NginxPeer nginx; // the start-up lookup asks it
    QString error;
    QVERIFY2(nginx.start(&error), qPrintable(error));
    nginx.setBody(QStringLiteral("ip"), "203.0.113.50\n");
    qputenv("VISTREL_ADDRESS_URL", nginx.url(QStringLiteral("/body/ip")).toEncoded());
    TempConfigHome home;
    home.writeSettingsFile("[Settings]\nwebNotify=1\nshowHelp=0\n");
    Settings settings(home.settingsPath());
    HttpGet http;
    Form1 form(settings, http);
    Form1NotificationHost host(form);
    DetachedProcessLauncher launcher;
    NotificationService service(host, launcher, &form);
    form.setNotificationHooks(&service);
    form.setQuit([] {});
    form.Form_Load();
    auto* setup = form.findChild<QPushButton*>(QStringLiteral("Command3"));
    QVERIFY(setup && setup->isEnabled());
    QTest::mouseClick(setup, Qt::LeftButton);
    QPointer<frmConfigure> dialog = service.configuration();
    QVERIFY(dialog && dialog->isVisible() && !dialog->isModal());
    QTest::mouseClick(setup, Qt::LeftButton);
    QCOMPARE(service.configuration(), dialog.data()); // the open one comes to the front
    form.close();
    QTRY_VERIFY(dialog.isNull());
}

QTEST_MAIN(TestNotificationService)
#include "tst_notificationservice.moc"
