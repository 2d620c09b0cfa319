// The main window against nginx: start-up from the store, the lookup, its notifications in order, ticks, shutdown.
#include "NginxPeer.h"
#include "TempConfigHome.h"
#include "app/Form1.h"
#include "app/Form1Hooks.h"
#include "app/Settings.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QPushButton>
#include <QtTest>

namespace {

struct Desktop : DesktopHooks
{
    QStringList* calls = nullptr;
    bool runAtLogonWorks = true;
    void setWindowIcons(QWidget*) override {}
    void addTrayIcon() override {}
    void removeTrayIcon() override { *calls << QStringLiteral("tray off"); }
    void updateOverlay(const QString& in, const QString& ex) override { *calls << in + u' ' + ex; }
    bool isOverlayVisible() const override { return false; }
    void setOverlayVisible(bool) override {}
    void showHelp() override { *calls << QStringLiteral("help"); }
    void showAbout() override {}
    void showWebsite() override {}
    bool setRunAtLogon(bool, QString* error) override { *calls << "logon"; *error = "no"; return runAtLogonWorks; }
    void mainWindowStateChanged(bool) override {}
    bool unload() override { return false; }
};

} // namespace

class TestForm1 : public QObject, NotificationHooks, Notifiers
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_nginx.start(&error), qPrintable(error));
        qputenv("VISTREL_ADDRESS_URL", m_nginx.url(QStringLiteral("/body/ip")).toEncoded());
        m_desktop.calls = &m_calls;
    }

    void storedStateIsRestored_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<bool>>("refreshSetupHelpLogonAuthSsl");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("url");
        const QList<bool> defaults{false, false, true, false, false, false};
        QTest::newRow("empty") << QByteArray() << defaults << 60 << QString();
        QTest::newRow("hand-edited") << QByteArray("REFRESH=1\nrefreshRate=3\nstartup=1\nwebnotify=1\nchkAuth=1\n"
                                                   "strURL=http://h/?a=1, b=2\n")
                                     << (QList<bool>(5, true) << false) << 1800 << "http://h/?a=1, b=2";
        QTest::newRow("damaged") << QByteArray("refresh=2\nrefreshrate=17\n\x01\xff [[[\n=x\nemailNotify=yes\n"
                                               "startup=-1\nshowHelp=2\nchkSSL=2\n[Settings\nstrPort=\"unterminated\n")
                                 << defaults << 60 << QString();
        QTest::newRow("out of range") << QByteArray("refresh=2\nrefreshrate=17\nemailNotify=yes\nstartup=-1\nshowHelp=2\n"
                                                    "chkAuth=-1\nchkSSL=2\n")
                                      << defaults << 60 << QString();
    }

    void storedStateIsRestored()
    {
        QFETCH(QByteArray, file);
        load(file);
        const NotifySettings& notify = m_form->notifySettings();
        QTEST((QList<bool>{child<QTimer>("timRefresh")->isActive(), child<QPushButton>("Command3")->isEnabled(),
                           m_calls.contains("help"), m_calls.contains("logon"), notify.useAuth,
                           notify.security == MailSecurity::Ssl2}),
              "refreshSetupHelpLogonAuthSsl");
        QTEST(m_form->watcher().refreshCycle().seconds(), "seconds");
        QTEST(notify.url, "url");
    }

    void lookupShowsStoresAndNotifiesOnceOnChange_data()
    {
        QTest::addColumn<QByteArray>("old");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QStringList>("shownAndStored");
        const auto old = [](const char* external, const char* internal) {
            return QByteArray("OldExternal=") + external + "\nOldInternal=" + internal + '\n';
        };
        const QByteArray a("203.0.113.1");
        const QStringList all{"10.0.0.2 203.0.113.1", "mail", "web", "program"}, shown{a, a};
        QTest::newRow("first address") << QByteArray() << a << all.mid(0, 1) << shown;
        QTest::newRow("same addresses") << old("203.0.113.1", "10.0.0.2") << a << all.mid(0, 1) << shown;
        QTest::newRow("external changed") << old("203.0.113.9", "10.0.0.2") << a << all << shown;
        QTest::newRow("internal changed") << old("203.0.113.1", "10.0.0.9") << a << all << shown;
        QTest::newRow("error page") << old("203.0.113.9", "10.0.0.2") << QByteArray("<html>Service Error</html>")
                                    << QStringList() << QStringList{"000.000.000.000", "203.0.113.9"};
    }

    void lookupShowsStoresAndNotifiesOnceOnChange()
    {
        QFETCH(QByteArray, old);
        QFETCH(QByteArray, body);
        load("emailNotify=1\nwebNotify=1\nprogramNotify=1\nshowHelp=0\n" + old, body);
        QTEST(m_calls, "calls");
        QTRY_VERIFY(m_nginx.accessLog().join(u'\n').endsWith(QStringLiteral("\tMozilla\tno-cache\tno-cache")));
        child<QPushButton>("cmdCopy2")->click();
        QTEST((QStringList{QGuiApplication::clipboard()->text(), stored("OldExternal")}), "shownAndStored");
        QCOMPARE(m_form->status() == u"Error: Connection not available.", m_calls.isEmpty());
        const qsizetype overlay = m_calls.size() ? 1 : 0;
        m_calls.clear();
        QSignalSpy done(m_form.get(), &Form1::lookupFinished);
        m_form->Command1_Click();  // the same answer again: no notification
        QVERIFY(done.wait(10000));
        QCOMPARE(m_calls.size(), overlay);
    }

    void autoRefreshLooksUpWhenTheIntervalIsReached()
    {
        load("refresh=1\nrefreshrate=1\nshowHelp=0\n");
        QCOMPARE(child<QTimer>("timRefresh")->interval(), 1000);
        QCOMPARE(lookups(300), 1);
        QCOMPARE(lookups(200), 0);
        child<QComboBox>("cmbRefresh")->setCurrentIndex(0);  // 01 Minute: the count already stands above it
        QCOMPARE(lookups(1), 1);
        for (const auto& [index, seconds] : {std::pair{2, 600}, {4, 3600}}) {  // 10 and 60 minutes
            child<QComboBox>("cmbRefresh")->setCurrentIndex(index);
            QCOMPARE(m_form->watcher().refreshCycle().seconds(), seconds);
        }
    }

    void failedRunAtStartupLeavesBoxUnticked()
    {
        load({});
        m_desktop.runAtLogonWorks = false;
        child<QCheckBox>("Check2")->click();
        QVERIFY(!child<QCheckBox>("Check2")->isChecked());
        QCOMPARE(stored("startup"), QStringLiteral("0"));
    }

    void closeShutsDownOnce()
    {
        load({});
        m_calls.clear();
        m_form->close();
        m_form->Command1_Click();  // nothing runs after the window unloaded
        QCOMPARE(m_calls << m_form->status(), (QStringList{"tray off", "unload", "quit", "Finished looking up IPs"}));
    }

private:
    void notify(Kind kind, Done done) override
    {
        m_calls << QStringList{"mail", "web", "program"}.at(int(kind));
        done(NotificationResult::delivered());
    }
    void abort() override {}
    void showConfiguration() override {}
    void unload() override { m_calls << QStringLiteral("unload"); }
    template <typename W> W* child(const char* name) { return m_form->findChild<W*>(QLatin1String(name)); }
    QString stored(const char* key) const { return m_settings.read(QLatin1String(key), QString()); }
    void load(const QByteArray& file, const QByteArray& body = "203.0.113.1")
    {
        m_home.writeSettingsFile("[Settings]\n" + file);
        m_nginx.setBody(QStringLiteral("ip"), body);
        m_form = std::make_unique<Form1>(m_settings);
        m_desktop.runAtLogonWorks = true;
        m_calls.clear();
        m_form->setNotificationHooks(this);
        m_form->watcher().setNotifiers(this);
        m_form->setDesktopHooks(&m_desktop);
        m_form->setLocalAddressSource([] { return QStringLiteral("10.0.0.2"); });
        m_form->setQuit([this] { m_calls << QStringLiteral("quit"); });
        QSignalSpy done(m_form.get(), &Form1::lookupFinished);
        m_form->Form_Load();
        QVERIFY(done.wait(10000));
    }
    int lookups(int ticks)  // the lookups these ticks start, each waited for
    {
        QSignalSpy started(m_form.get(), &Form1::lookupStarted);
        QSignalSpy done(m_form.get(), &Form1::lookupFinished);
        for (int t = 0; t < ticks; ++t)
            m_form->watcher().tick();
        if (!started.isEmpty() && done.isEmpty())
            done.wait(10000);
        return int(started.size());
    }

    NginxPeer m_nginx;
    TempConfigHome m_home;
    Settings m_settings{SettingsFile::defaultPath(QStringLiteral("Tarnwick IP Vistrel"))};
    std::unique_ptr<Form1> m_form;
    QStringList m_calls;
    Desktop m_desktop;
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
