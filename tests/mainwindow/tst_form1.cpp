// The main window against nginx: start-up from the store, the lookup, its notifications in order, ticks, shutdown.
#include "Mnemonics.h"
#include "NginxPeer.h"
#include "TempConfigHome.h"
#include "core/AddressWatcher.h"
#include "core/Settings.h"
#include "mainwindow/Form1.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

class TestForm1 : public QObject, Notifiers
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(m_nginx.start(), qPrintable(m_nginx.error()));
        qputenv("VISTREL_ADDRESS_URL", m_nginx.url(QStringLiteral("/body/ip")).toEncoded());
    }

    void storedStateIsRestored_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QList<bool>>("refreshSetupHelpLogonAuthSsl");
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("url");
        const QList<bool> defaults{false, true, true, false, false, false}; // "Setup" always available
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
        const NotifySettings& notify = m_watcher->notifySettings();
        QTEST((QList<bool>{m_watcher->findChild<QTimer*>("timRefresh")->isActive(), child<QPushButton>("Command3")->isEnabled(),
                           m_calls.contains("help"), m_calls.contains("logon"), notify.useAuth,
                           notify.security == MailSecurity::Ssl2}),
              "refreshSetupHelpLogonAuthSsl");
        QTEST(m_watcher->refreshCycle().seconds(), "seconds");
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
        // The internal address shows as the lookup starts; with no external one, Copy copies nothing.
        const QStringList all{"10.0.0.2 000.000.000.000", "10.0.0.2 203.0.113.1", "mail", "web", "program"};
        const QStringList shown{a, a};
        QTest::newRow("first address") << QByteArray() << a << all.mid(0, 2) << shown;
        QTest::newRow("same addresses") << old("203.0.113.1", "10.0.0.2") << a << all.mid(0, 2) << shown;
        QTest::newRow("external changed") << old("203.0.113.9", "10.0.0.2") << a << all << shown;
        QTest::newRow("error page") << old("203.0.113.9", "10.0.0.2") << QByteArray("<html>Service Error</html>")
                                    << all.mid(0, 1) << QStringList{"", "203.0.113.9"};
    }

    void lookupShowsStoresAndNotifiesOnceOnChange()
    {
        QFETCH(QByteArray, old);
        QFETCH(QByteArray, body);
        load("emailNotify=1\nwebNotify=1\nprogramNotify=1\nshowHelp=0\n" + old, body);
        QTEST(m_calls, "calls");
        QTRY_VERIFY(m_nginx.accessLog().join(u'\n').endsWith(QStringLiteral("\tMozilla\tno-cache\tno-cache")));
        QGuiApplication::clipboard()->setText(QString());
        child<QPushButton>("cmdCopy2")->click();
        QTEST((QStringList{QGuiApplication::clipboard()->text(), stored("OldExternal")}), "shownAndStored");
        const bool answered = m_calls.size() > 1; // more than the internal address shown at the start
        QCOMPARE(m_form->status() == u"Error: The address sources answered badly.", !answered);
        const qsizetype overlay = answered ? 1 : 0;
        m_calls.clear();
        QSignalSpy done(m_form.get(), &Form1::lookupFinished);
        m_form->Command1_Click();  // the same answer again: no notification
        QVERIFY(done.wait(10000));
        QCOMPARE(m_calls.size(), overlay);
    }

    void autoRefreshLooksUpWhenTheIntervalIsReached()
    {
        load("refresh=1\nrefreshrate=1\nshowHelp=0\n");
        RefreshCycle& cycle = m_watcher->refreshCycle();
        QCOMPARE(m_watcher->findChild<QTimer*>("timRefresh")->interval(), cycle.due() * 1000); // once, at the end
        QVERIFY(m_watcher->state().nextCheck > m_watcher->state().lastChecked); // shown as "Next check"
        QSet<int> dues;  // each cycle 5 minutes, give or take a tenth
        for (int i = 0; i < 20; ++i, cycle.setSelection(1))
            dues << cycle.due();
        QVERIFY(dues.size() > 5 && *std::min_element(dues.begin(), dues.end()) >= 270 &&
                *std::max_element(dues.begin(), dues.end()) <= 330);
        QCOMPARE(lookups(cycle.due() - 1), 0);
        QCOMPARE(lookups(1), 1);
        QCOMPARE(lookups(200), 0);
        child<QComboBox>("cmbRefresh")->setCurrentIndex(0);  // 01 Minute: the cycle has already run longer
        QCOMPARE(lookups(1), 1);
        for (const auto& [index, seconds] : {std::pair{2, 600}, {4, 3600}}) {  // 10 and 60 minutes
            child<QComboBox>("cmbRefresh")->setCurrentIndex(index);
            QCOMPARE(m_watcher->refreshCycle().seconds(), seconds);
        }
        m_now += 3000 * 1000;  // Refresh starts the cycle again
        QSignalSpy done(m_form.get(), &Form1::lookupFinished);
        m_form->Command1_Click();
        QVERIFY(done.wait(10000));
        QCOMPARE(lookups(cycle.due() - 1), 0);
    }

    void keyboardReachesEveryCommand()
    {
        load({});
        // Every menu, button and check box has a mnemonic, and none is claimed twice.
        for (const QAbstractButton* button : m_form->findChildren<QAbstractButton*>()) {
            if (!button->objectName().startsWith(QLatin1String("qt_"))) // Qt's own, such as the menu bar's extension
                QVERIFY2(!QKeySequence::mnemonic(button->text()).isEmpty(), qPrintable(button->text()));
        }
        QVERIFY2(duplicatedMnemonics(m_form.get()).isEmpty(), qPrintable(duplicatedMnemonics(m_form.get()).join(u'\n')));
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QVERIFY(child<QTimer>("minuteTimer")->isActive()); // "2 min ago" follows the clock only while shown
        QSignalSpy done(m_form.get(), &Form1::lookupFinished);
        QTest::keyClick(m_form.get(), Qt::Key_F5);
        QVERIFY(done.wait(10000));
        // Ctrl+C: the external address, the focused address, or a text field's selection.
        const auto copied = [this](QWidget* focus) {
            focus->setFocus();
            QTest::keyClick(focus, Qt::Key_C, Qt::ControlModifier);
            return QGuiApplication::clipboard()->text();
        };
        auto* text = child<QLineEdit>("Text1");
        text->setText(QStringLiteral("192.0.2.1"));
        QCOMPARE(copied(text), QStringLiteral("203.0.113.1"));
        QVERIFY(child<QLabel>("lblCopied")->isVisible() && child<QTimer>("copiedTimer")->isSingleShot());
        text->selectAll();
        QCOMPARE(copied(text), QStringLiteral("192.0.2.1"));
        QCOMPARE(copied(child<QLabel>("Label2")), QStringLiteral("10.0.0.2"));
        // After the menus were used with the keyboard, Ctrl+C has one owner still.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("Ambiguous")));
        QTest::keyClick(m_form.get(), Qt::Key_E, Qt::AltModifier);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape); // the menu bar keeps the focus
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : m_form.get(), Qt::Key_C,
                        Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("203.0.113.1"));
        QTest::keyClick(m_form.get(), Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(m_calls.contains("unload") && !child<QTimer>("minuteTimer")->isActive());
    }

    void switchesAndConverterShowWhatIsTrue()
    {
        load({});
        // The notices' boxes show their keys, which the dialog's tabs switch too.
        m_settings.writeFlag(Key::MailNotify, true);
        QVERIFY(child<QCheckBox>("Check3")->isChecked());
        child<QCheckBox>("Check3")->click();
        QVERIFY(!m_settings.readFlag(Key::MailNotify));
        // The converter says that it looks up, and when nothing was found.
        child<QLineEdit>("Text2")->setText(QStringLiteral("old answer"));
        child<QPushButton>("cmdConvert")->click();
        QCOMPARE(child<QLineEdit>("Text2")->text(), QString());
        QCOMPARE(child<QLineEdit>("Text2")->placeholderText(), QStringLiteral("Looking up..."));
        m_form->showConvertedName({});
        QCOMPARE(child<QLineEdit>("Text2")->placeholderText(), QStringLiteral("not found"));
    }

    void closeShutsDownOnce()
    {
        load({});
        m_calls.clear();
        m_form->close();
        m_form->Command1_Click();  // nothing runs after the window unloaded
        QCOMPARE(m_calls << m_form->status(), (QStringList{"tray off", "unload", "Finished looking up IPs"}));
    }

private:
    void notify(Kind kind, Done done) override
    {
        m_calls << QStringList{"mail", "web", "program"}.at(int(kind));
        done(NotificationResult::delivered());
    }
    void abort() override {}
    template <typename W> W* child(const char* name) { return m_form->findChild<W*>(QLatin1String(name)); }
    QString stored(const char* key) const { return m_settings.read(QLatin1String(key), QString()); }
    void load(const QByteArray& file, const QByteArray& body = "203.0.113.1")
    {
        m_home.writeSettingsFile("[Settings]\n" + file);
        m_nginx.setBody(QStringLiteral("ip"), body);
        m_form.reset();
        m_watcher = std::make_unique<AddressWatcher>(m_settings);
        m_watcher->refreshCycle().setClock([this] { return m_now; });
        m_form = std::make_unique<Form1>(*m_watcher, m_settings);
        m_calls.clear();
        m_watcher->setNotifiers(this);
        m_watcher->setLocalAddressSource([] { return QStringLiteral("10.0.0.2"); });
        // What the window asks of the windows beside it, and the addresses it shows when the overlay gets them.
        const auto record = [this](const char* call) { return [this, call] { m_calls << QLatin1String(call); }; };
        connect(m_form.get(), &Form1::helpRequested, this, record("help"));
        connect(m_form.get(), &Form1::queryUnload, this, record("tray off"));
        connect(m_form.get(), &Form1::unloaded, this, record("unload"));
        connect(m_form.get(), &Form1::runAtLogonRequested, this, record("logon"));
        connect(m_watcher.get(), &AddressWatcher::addressesUpdated, this,
                [this] { m_calls << m_form->internalAddress() + u' ' + m_form->externalAddress(); });
        QSignalSpy done(m_form.get(), &Form1::lookupFinished);
        m_form->Form_Load();
        QVERIFY(done.wait(10000));
    }
    int lookups(int seconds)  // the lookups started when the refresh timer fires these seconds later, waited for
    {
        QSignalSpy started(m_form.get(), &Form1::lookupStarted);
        QSignalSpy done(m_form.get(), &Form1::lookupFinished);
        m_now += seconds * 1000;
        m_watcher->refreshDue();
        if (!started.isEmpty() && done.isEmpty())
            done.wait(10000);
        return int(started.size());
    }

    NginxPeer m_nginx;
    TempConfigHome m_home;
    Settings m_settings{m_home.settingsPath()};
    std::unique_ptr<AddressWatcher> m_watcher;
    std::unique_ptr<Form1> m_form;
    QStringList m_calls;
    qint64 m_now = 0; // the refresh cycle's clock
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
