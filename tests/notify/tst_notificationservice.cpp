// The subsystem wired into the real main window: a change of address seen by a lookup against nginx
// sends the mail through aiosmtpd, requests nginx's /hook/ and starts a recording script, in the
// order of the notification step; "Setup" opens the dialog and shutdown closes it.
#include "NginxPeer.h"
#include "PeerProcess.h"
#include "TempConfigHome.h"
#include "app/Form1.h"
#include "app/Settings.h"
#include "notify/Form1NotificationHost.h"
#include "notify/NotificationService.h"
#include "notify/frmConfigure.h"
#include "platform/HttpGet.h"
#include "platform/ProcessLauncher.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestNotificationService : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void changeRunsAllThreeInOrder();
    void setupOpensOneDialogAndShutdownClosesIt();

private:
    NginxPeer m_nginx;
    QTemporaryDir m_dir;
};

void TestNotificationService::initTestCase()
{
    QString error;
    QVERIFY2(m_nginx.start(&error), qPrintable(error));
    m_nginx.setBody(QStringLiteral("ip"), "203.0.113.50\n");
    qputenv("VISTREL_ADDRESS_URL", m_nginx.url(QStringLiteral("/body/ip")).toEncoded());
}

void TestNotificationService::changeRunsAllThreeInOrder()
{
    PeerProcess smtp;
    QString error;
    QVERIFY2(smtp.start(QStringLiteral("smtp_peer.py"), {}, &error), qPrintable(error));
    const QString script = QStringLiteral(VISTREL_SOURCE_DIR "/tests/notify/record_args.sh");
    const QString record = m_dir.filePath(QStringLiteral("argv"));
    qputenv("VISTREL_RECORD_ARGS", QFile::encodeName(record));

    TempConfigHome home;
    home.writeSettingsFile(QStringLiteral("[Settings]\nemailNotify=1\nwebNotify=1\nprogramNotify=1\nshowHelp=0\n"
                                          "OldExternal=198.51.100.1\nOldInternal=10.0.0.2\nstrServer=127.0.0.1\n"
                                          "strPort=%1\nstrEmailTo=to@example.org\nstrEmailFrom=from@example.org\n"
                                          "strURL=%2\nstrProg=%3\nstrCommands=$External$\n")
                               .arg(QString::number(smtp.port()),
                                    m_nginx.url(QStringLiteral("/hook/?e=$ExternalIP$")).toString(), script)
                               .toUtf8());
    Settings settings(home.settingsPath());
    HttpGet http;
    Form1 form(settings, http);
    Form1NotificationHost host(form);
    DetachedProcessLauncher launcher;
    NotificationService service(host, launcher, &form);
    form.setNotificationHooks(&service);
    form.setLocalAddressSource([] { return QStringLiteral("10.0.0.2"); });
    form.setQuit([] {});
    QStringList statuses;
    connect(&form, &Form1::statusChanged, this, [&statuses](const QString& s) { statuses << s; });
    const int requestsBefore = m_nginx.accessLog().size();
    QSignalSpy done(&form, &Form1::lookupFinished);
    form.Form_Load();
    QVERIFY(done.wait(10000));

    const qsizetype finished = statuses.indexOf(QStringLiteral("Finished looking up IPs"));
    QVERIFY(finished > 0);
    const qsizetype connecting = statuses.indexOf(QStringLiteral("Connecting..."));
    const qsizetype hitting = statuses.indexOf(QStringLiteral("Hitting ")
                                               + m_nginx.url(QStringLiteral("/hook/?e=203.0.113.50")).toString());
    const qsizetype opening = statuses.indexOf(QStringLiteral("Opening ") + script);
    QVERIFY(connecting >= 0 && connecting < hitting && hitting < opening && opening < finished);
    QVERIFY(statuses.contains(QStringLiteral("Success: ok")));
    QVERIFY(statuses.contains(QStringLiteral("Opened: ") + script));

    // The dialogue runs on the socket's events, inside the web request's wait or after the lookup.
    QTRY_VERIFY_WITH_TIMEOUT(statuses.contains(QStringLiteral("Message Sent")), 10000);
    QVERIFY(statuses.indexOf(QStringLiteral("Connected")) > connecting);
    QCOMPARE(statuses.count(QStringLiteral("Connecting...")), 1);
    QTRY_VERIFY(QFile::exists(record));
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().split('\0').value(1), QByteArray("203.0.113.50"));
    const QStringList requests = m_nginx.accessLog().mid(requestsBefore);
    QCOMPARE(requests.filter(QStringLiteral("/hook/")).size(), 1);
    QCOMPARE(requests.filter(QStringLiteral("/hook/")).first().section(QLatin1Char('\t'), 0, 0),
             QStringLiteral("/hook/?e=203.0.113.50"));
    QTest::qWait(200);
    QCOMPARE(smtp.stop().count("MESSAGE "), 1);
}

void TestNotificationService::setupOpensOneDialogAndShutdownClosesIt()
{
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
    QVERIFY(dialog && dialog->isVisible());
    QVERIFY(!dialog->isModal());
    QTest::mouseClick(setup, Qt::LeftButton);
    QCOMPARE(service.configuration(), dialog.data());  // the open one comes to the front
    form.close();
    QTRY_VERIFY(dialog.isNull());
}

QTEST_MAIN(TestNotificationService)
#include "tst_notificationservice.moc"
