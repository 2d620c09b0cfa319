// The desktop side of the main window on the offscreen platform, with the real main window looking its
// addresses up from nginx: the overlay, the tray menu, minimising, the splash hand-over, the help, About
// and website windows, run at logon through "Run at startup", and shutdown.
#include "NginxPeer.h"
#include "TempConfigHome.h"
#include "app/Form1.h"
#include "app/Settings.h"
#include "desktop/DesktopIntegration.h"
#include "desktop/TrayIcon.h"
#include "platform/HttpGet.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QtTest>

class TestDesktopWindows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void overlayFollowsToggleAndLookups();
    void overlayMenu();
    void overlayKeepsLongAddressesWhole();
    void trayMenu();
    void trayClicks_data();
    void trayClicks();
    void minimiseWithoutTray();
    void splashHandsOver();
    void startMinimized_data();
    void startMinimized();
    void helpWindow();
    void helpFileFoundInSmallLettersOrNotAtAll();
    void aboutWindowAndWebsite();
    void websiteUrl_data();
    void websiteUrl();
    void runAtStartupBox();
    void runAtStartupFailure();
    void shutdownWaitsForWebsiteWindow();

private:
    template <typename W> W* child(const char* name) { return m_form->findChild<W*>(QLatin1String(name)); }
    void make(bool trayAvailable = true);
    void load();

    NginxPeer m_nginx;
    std::unique_ptr<TempConfigHome> m_home;
    std::unique_ptr<QTemporaryDir> m_helpDir;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<HttpGet> m_http;
    std::unique_ptr<Form1> m_form;
    std::unique_ptr<DesktopIntegration> m_desktop;
    QList<QUrl> m_opened;
    int m_formQuits = 0;
    int m_desktopQuits = 0;
};

void TestDesktopWindows::initTestCase()
{
    QString error;
    QVERIFY2(m_nginx.start(&error), qPrintable(error));
}

void TestDesktopWindows::init()
{
    m_home = std::make_unique<TempConfigHome>();
    m_helpDir = std::make_unique<QTemporaryDir>();
    QVERIFY(QFile::copy(QStringLiteral(VISTREL_SOURCE_DIR "/resources/Help.rtf"), m_helpDir->filePath("Help.rtf")));
    m_settings = std::make_unique<Settings>(m_home->settingsPath());
    m_http = std::make_unique<HttpGet>();
    m_nginx.setBody(QStringLiteral("ip"), "203.0.113.7\n");
    qputenv("VISTREL_ADDRESS_URL", m_nginx.url(QStringLiteral("/body/ip")).toEncoded());
    m_opened.clear();
    m_formQuits = 0;
    m_desktopQuits = 0;
}

void TestDesktopWindows::cleanup()
{
    m_desktop.reset();
    m_form.reset();
    m_settings.reset();
    m_home.reset();
}

void TestDesktopWindows::make(bool trayAvailable)
{
    m_form = std::make_unique<Form1>(*m_settings, *m_http);
    m_desktop = std::make_unique<DesktopIntegration>(*m_form);
    m_form->setDesktopHooks(m_desktop.get());
    m_form->setLocalAddressSource([] { return QStringLiteral("192.168.1.20"); });
    m_form->setQuit([this] { ++m_formQuits; });
    m_desktop->setHelpFolders({m_helpDir->path()});
    m_desktop->setUrlOpener([this](const QUrl& url) {
        m_opened << url;
        return true;
    });
    m_desktop->setTrayAvailable([trayAvailable] { return trayAvailable; });
    m_desktop->setQuit([this] { ++m_desktopQuits; });
}

void TestDesktopWindows::load()
{
    make();
    QSignalSpy done(m_form.get(), &Form1::lookupFinished);
    m_form->Form_Load();
    QVERIFY(done.wait(10000));  // the lookup answers after Form_Load returned
    m_desktop->showMainWindow();
}

void TestDesktopWindows::overlayFollowsToggleAndLookups()
{
    load();
    Form2* overlay = m_desktop->overlay();
    QVERIFY(overlay);  // loaded, hidden, by the first lookup
    QVERIFY(!overlay->isVisible());
    QCOMPARE(overlay->internalAddress(), QStringLiteral("192.168.1.20"));
    QCOMPARE(overlay->externalAddress(), QStringLiteral("203.0.113.7"));
    auto* button = child<QPushButton>("Command2");
    QCOMPARE(button->text(), QStringLiteral("Turn on IP Address Overlay"));

    button->click();
    QVERIFY(overlay->isVisible());
    QCOMPARE(button->text(), QStringLiteral("Turn off IP Address Overlay"));
    QCOMPARE(overlay->height(), Form2::DesignHeight);
    QVERIFY(overlay->width() >= 191);
    QCOMPARE(overlay->pos(), QGuiApplication::primaryScreen()->availableGeometry().topLeft());
    const Qt::WindowFlags flags = overlay->windowFlags();
    QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);  // a desktop display, not in the task bar
    // The design places; a caption wider in this font than its design width pushes the addresses right.
    for (const char* name : {"Label3", "Label4"}) {
        auto* caption = overlay->findChild<QLabel*>(name);
        QCOMPARE(caption->x(), 4);
        QVERIFY(caption->width() >= std::max(49, caption->fontMetrics().horizontalAdvance(caption->text())));
    }
    auto* external = overlay->findChild<QLabel*>("Label2");
    QCOMPARE(external->y(), 16);
    QVERIFY(external->x() >= 60 && external->x() > overlay->findChild<QLabel*>("Label4")->geometry().right());
    QVERIFY(external->width() >= 125);

    // Every lookup writes it, shown or not; showing it again does not move it.
    button->click();
    QVERIFY(!overlay->isVisible());
    m_nginx.setBody(QStringLiteral("ip"), "198.51.100.9\n");
    child<QPushButton>("Command1")->click();
    QTRY_COMPARE(overlay->externalAddress(), QStringLiteral("198.51.100.9"));
    overlay->move(overlay->pos());
    button->click();
    QVERIFY(overlay->isVisible());
    QCOMPARE(overlay->pos(), QGuiApplication::primaryScreen()->availableGeometry().topLeft());
}

void TestDesktopWindows::overlayMenu()
{
    load();
    m_form->Command2_Click();
    Form2* overlay = m_desktop->overlay();
    QMenu* menu = overlay->mnuPopup();
    QCOMPARE(menu->actions().size(), 2);
    QCOMPARE(menu->actions()[0]->text(), QStringLiteral("Refresh"));
    QCOMPARE(menu->actions()[1]->text(), QStringLiteral("Hide"));

    auto* label = overlay->findChild<QLabel*>("Label1");
    QTest::mouseClick(label, Qt::LeftButton);
    QVERIFY(!menu->isVisible());
    QTest::mousePress(label, Qt::RightButton);
    QVERIFY(!menu->isVisible());  // opens on release
    QTest::mouseRelease(label, Qt::RightButton);
    QVERIFY(menu->isVisible());
    menu->hide();
    QTest::mouseClick(overlay, Qt::RightButton, {}, QPoint(100, 30));  // the background opens it too
    QVERIFY(menu->isVisible());
    menu->hide();

    // "Refresh" updates both the main window and the overlay.
    m_nginx.setBody(QStringLiteral("ip"), "198.51.100.10\n");
    menu->actions()[0]->trigger();
    QTRY_COMPARE(m_form->externalAddress(), QStringLiteral("198.51.100.10"));
    QCOMPARE(overlay->externalAddress(), QStringLiteral("198.51.100.10"));

    // "Hide" resets the main window's button, so the next toggle shows the overlay again.
    menu->actions()[1]->trigger();
    QVERIFY(!overlay->isVisible());
    QCOMPARE(child<QPushButton>("Command2")->text(), QStringLiteral("Turn on IP Address Overlay"));
    m_form->Command2_Click();
    QVERIFY(overlay->isVisible());
}

void TestDesktopWindows::overlayKeepsLongAddressesWhole()
{
    load();
    m_form->Command2_Click();
    Form2* overlay = m_desktop->overlay();
    const QPoint position = overlay->pos();
    const QString v6 = QStringLiteral("2001:db8:ffff:ffff:ffff:ffff:ffff:fffe");
    m_desktop->updateOverlay(QStringLiteral("192.168.1.20"), v6);
    auto* label = overlay->findChild<QLabel*>("Label2");
    QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(v6));
    QVERIFY(overlay->width() >= label->geometry().right());
    QCOMPARE(overlay->pos(), position);
    const int wide = overlay->width();
    m_desktop->updateOverlay(QStringLiteral("192.168.1.20"), QStringLiteral("203.0.113.7"));
    QVERIFY(overlay->width() < wide);
    QCOMPARE(overlay->height(), Form2::DesignHeight);
}

void TestDesktopWindows::trayMenu()
{
    load();
    TrayIcon* tray = m_desktop->tray();
    QCOMPARE(tray->icon()->toolTip(), QStringLiteral("Animated TrayIcon"));
    QVERIFY(!tray->icon()->icon().isNull());
    QCOMPARE(tray->icon()->contextMenu(), tray->mnuPopup());  // a right click opens this menu
    QStringList captions;
    for (QAction* item : tray->mnuPopup()->actions())
        captions << item->text();
    QCOMPARE(captions, (QStringList{QStringLiteral("Show"), QStringLiteral("Address Overlay On/Off"), QStringLiteral("Exit")}));

    // Minimised, the window goes to the notification area; "Address Overlay On/Off" leaves it there.
    m_form->setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(!m_form->isVisible());
    QCOMPARE(m_settings->read(QStringLiteral("Minimized"), QString()), QStringLiteral("1"));
    tray->mnuPopup()->actions()[1]->trigger();
    QVERIFY(m_desktop->overlay()->isVisible());
    QVERIFY(!m_form->isVisible());
    tray->mnuPopup()->actions()[1]->trigger();
    QVERIFY(!m_desktop->overlay()->isVisible());

    // "Show" brings it back in the normal state; "Exit" removes the icon and ends the program.
    tray->mnuPopup()->actions()[0]->trigger();
    QVERIFY(m_form->isVisible());
    QVERIFY(!m_form->isMinimized());
    QCOMPARE(m_settings->read(QStringLiteral("Minimized"), QString()), QStringLiteral("0"));

    // The "Minimize" menu item does the same; a resize of the visible window records "0" again.
    m_form->findChild<QAction*>(QStringLiteral("mniFileItem"))->trigger();
    QTRY_VERIFY(!m_form->isVisible());
    m_form->setWindowState(Qt::WindowNoState);
    QVERIFY(m_form->isVisible());
    m_settings->write(QStringLiteral("Minimized"), 1);
    m_form->resize(m_form->width() + 10, m_form->height());
    QCOMPARE(m_settings->read(QStringLiteral("Minimized"), QString()), QStringLiteral("0"));
    tray->mnuPopup()->actions()[2]->trigger();
    QCOMPARE(m_formQuits, 1);
    QVERIFY(!tray->icon()->isVisible());
}

void TestDesktopWindows::trayClicks_data()
{
    QTest::addColumn<int>("reason");
    QTest::addColumn<bool>("opens");
    QTest::newRow("left click") << int(QSystemTrayIcon::Trigger) << true;
    QTest::newRow("right click (the platform shows the context menu)") << int(QSystemTrayIcon::Context) << false;
    QTest::newRow("double click") << int(QSystemTrayIcon::DoubleClick) << false;
    QTest::newRow("middle click") << int(QSystemTrayIcon::MiddleClick) << false;
    QTest::newRow("unknown") << int(QSystemTrayIcon::Unknown) << false;
}

void TestDesktopWindows::trayClicks()
{
    QFETCH(int, reason);
    QFETCH(bool, opens);
    load();
    TrayIcon* tray = m_desktop->tray();
    emit tray->icon()->activated(QSystemTrayIcon::ActivationReason(reason));
    QCOMPARE(tray->mnuPopup()->isVisible(), opens);
    if (opens)
    tray->mnuPopup()->hide();
}

void TestDesktopWindows::minimiseWithoutTray()
{
    make(false);
    m_form->Form_Load();
    m_desktop->showMainWindow();
    m_form->setWindowState(Qt::WindowMinimized);
    QTest::qWait(20);
    // No notification area to come back from: the window stays in the task bar, minimised.
    QVERIFY(m_form->isVisible());
    QVERIFY(m_form->isMinimized());
    QCOMPARE(m_settings->read(QStringLiteral("Minimized"), QString()), QStringLiteral("1"));
}

void TestDesktopWindows::splashHandsOver()
{
    make();
    bool splashShownDuringLookup = false;
    bool formLoadedBeforeSplashHidden = false;
    connect(m_form.get(), &Form1::statusChanged, this, [&](const QString& status) {
        if (status == QStringLiteral("Looking up your IPs..."))
            splashShownDuringLookup = m_desktop->splash()->isVisible();
    });
    m_desktop->startWithSplash(1);
    frmSplash* splash = m_desktop->splash();
    QVERIFY(splash->isVisible());
    QCOMPARE(splash->size(), QSize(480, 109));
    QVERIFY(splash->windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(!m_form->isVisible());
    connect(splash, &frmSplash::handOverDone, this,
            [&] { formLoadedBeforeSplashHidden = m_form->status().startsWith(QStringLiteral("Looking up your IPs")) ||
                                                 m_form->status() == QStringLiteral("Finished looking up IPs"); });

    QTRY_VERIFY(splash->handedOver());
    QCOMPARE(splash->counter(), 150);
    QVERIFY(splashShownDuringLookup);
    QVERIFY(formLoadedBeforeSplashHidden);
    QVERIFY(!splash->isVisible());
    QVERIFY(m_form->isVisible());
    QTRY_COMPARE(m_form->externalAddress(), QStringLiteral("203.0.113.7"));
    QVERIFY(!m_form->windowIcon().isNull());
    QCOMPARE(splash->windowIcon().cacheKey(), m_form->windowIcon().cacheKey());
    QVERIFY(m_desktop->help() && m_desktop->help()->isVisible());  // "showHelp" defaults to 1
    // Waiting longer changes nothing: the hand-over happens once.
    QTest::qWait(50);
    QCOMPARE(splash->counter(), 150);
}

void TestDesktopWindows::startMinimized_data()
{
    QTest::addColumn<bool>("tray");
    QTest::newRow("notification area") << true;
    QTest::newRow("no notification area") << false;
}

void TestDesktopWindows::startMinimized()
{
    QFETCH(bool, tray);
    m_home->writeSettingsFile("[Settings]\nchkMin=1\nshowHelp=0\n");
    make(tray);
    m_desktop->startWithSplash(1);
    QTRY_VERIFY(m_desktop->splash()->handedOver());
    QTest::qWait(20);
    QVERIFY(m_form->isMinimized());
    QCOMPARE(m_form->isVisible(), !tray);  // without a notification area it waits in the task bar
    QTRY_COMPARE(m_form->status(), QStringLiteral("Finished looking up IPs"));
    QCOMPARE(m_settings->read(QStringLiteral("Minimized"), QString()), QStringLiteral("1"));
}

void TestDesktopWindows::helpWindow()
{
    load();
    Form8* help = m_desktop->help();
    QVERIFY(help && help->isVisible());
    QCOMPARE(help->windowTitle(), QStringLiteral("Readme/Help"));
    QCOMPARE(help->size(), QSize(686, 528));
    QVERIFY(help->windowFlags().testFlag(Qt::WindowStaysOnTopHint));  // above the main window
    const QString text = help->findChild<QTextBrowser*>("rtf1")->toPlainText();
    QVERIFY(text.startsWith(QStringLiteral("Tarnwick IP Vistrel 3.3")));
    QVERIFY(text.contains(QStringLiteral("Show at Startup")));
    auto* box = help->findChild<QCheckBox*>("Check1");
    QCOMPARE(box->text(), QStringLiteral("Show at Startup"));
    QVERIFY(box->isChecked());

    // Unticked: written at once; the next start shows no help, "View Help" still does.
    box->click();
    QCOMPARE(m_settings->read(QStringLiteral("showHelp"), QString()), QStringLiteral("0"));
    help->close();
    QTRY_VERIFY(!m_desktop->help());
    m_desktop.reset();
    m_form.reset();
    load();
    QVERIFY(!m_desktop->help());
    m_form->findChild<QAction*>(QStringLiteral("mnuHelpItem"))->trigger();
    QVERIFY(m_desktop->help() && m_desktop->help()->isVisible());
    QVERIFY(!m_desktop->help()->findChild<QCheckBox*>("Check1")->isChecked());
}

void TestDesktopWindows::helpFileFoundInSmallLettersOrNotAtAll()
{
    QVERIFY(QFile::rename(m_helpDir->filePath("Help.rtf"), m_helpDir->filePath("help.rtf")));
    make();
    QCOMPARE(m_desktop->findHelpFile(), m_helpDir->filePath("help.rtf"));
    m_desktop->showHelp();
    QVERIFY(m_desktop->help() && m_desktop->help()->isVisible());

    // A later folder is searched when the first has none; with no file anywhere nothing shows.
    QTemporaryDir empty;
    m_desktop->setHelpFolders({empty.path(), m_helpDir->path()});
    QCOMPARE(m_desktop->findHelpFile(), m_helpDir->filePath("help.rtf"));
    QVERIFY(QFile::rename(m_helpDir->filePath("help.rtf"), m_helpDir->filePath(".Help.rtf")));
    QVERIFY(QDir(empty.path()).mkdir(QStringLiteral("Help.rtf")));
    m_desktop->help()->close();
    QTRY_VERIFY(!m_desktop->help());
    m_desktop->showHelp();
    QVERIFY(!m_desktop->help());
}

void TestDesktopWindows::aboutWindowAndWebsite()
{
    load();
    m_form->findChild<QAction*>(QStringLiteral("mnuAboutItem"))->trigger();
    frmAbout* about = m_desktop->about();
    QVERIFY(about && about->isVisible());
    QCOMPARE(about->windowTitle(), QStringLiteral("About Tarnwick IP Vistrel"));
    QCOMPARE(about->findChild<QLabel*>("Label1")->text(), QStringLiteral("Tarnwick IP Vistrel"));
    QCOMPARE(about->findChild<QLabel*>("lblVersion")->text(), QStringLiteral("3.3"));
    QCOMPARE(about->findChild<QLabel*>("lblCompany")->text(), QStringLiteral("Tarnwick Software"));
    auto* website = about->findChild<QLabel*>("lblWebsite");
    QVERIFY(website->text().contains(QStringLiteral(">tarnwicksoftware.com</a>")));
    QVERIFY(!about->findChild<QLabel*>("Picture1")->pixmap().isNull());
    QCOMPARE(about->minimumSize(), about->maximumSize());  // fixed border

    emit website->linkActivated(QStringLiteral("website"));
    QCOMPARE(m_opened, QList<QUrl>{QUrl(QStringLiteral("http://tarnwicksoftware.com"))});
    // Within the website window's second a second request opens nothing; after it, the page opens again.
    child<QPushButton>("cmdWebsite")->click();
    QCOMPARE(m_opened.size(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!m_desktop->website(), 3000);
    child<QPushButton>("cmdWebsite")->click();
    QCOMPARE(m_opened.size(), 2);
}

void TestDesktopWindows::websiteUrl_data()
{
    QTest::addColumn<QString>("website");
    QTest::addColumn<QString>("url");
    QTest::newRow("bare domain") << QStringLiteral("tarnwicksoftware.com") << QStringLiteral("http://tarnwicksoftware.com");
    QTest::newRow("http") << QStringLiteral("http://a.example") << QStringLiteral("http://a.example");
    QTest::newRow("https in capitals") << QStringLiteral("HTTPS://a.example") << QStringLiteral("HTTPS://a.example");
    QTest::newRow("scheme in the middle") << QStringLiteral("see Http://a.example") << QStringLiteral("see Http://a.example");
    QTest::newRow("empty") << QString() << QStringLiteral("http://");
}

void TestDesktopWindows::websiteUrl()
{
    QFETCH(QString, website);
    QFETCH(QString, url);
    QCOMPARE(frmWebsite::websiteUrl(website), url);
}

void TestDesktopWindows::runAtStartupBox()
{
    make();
    const QString executable = QStringLiteral("/home/user/My Apps/IP Vistrel/tarnwick-ip-vistrel");
    m_desktop->setExecutablePath(executable);
    m_form->Form_Load();
    const QString entry = m_home->path() + QStringLiteral("/autostart/Tarnwick IP Vistrel.desktop");
    auto* box = child<QCheckBox>("Check2");
    box->click();
    QFile file(entry);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("\nExec=\"" + executable.toUtf8() + "\"\n"));
    file.close();
    QCOMPARE(m_settings->read(QStringLiteral("startup"), QString()), QStringLiteral("1"));
    box->click();
    QVERIFY(!QFile::exists(entry));
    QCOMPARE(m_settings->read(QStringLiteral("startup"), QString()), QStringLiteral("0"));
    QVERIFY(!m_form->status().startsWith(QStringLiteral("Error")));
}

void TestDesktopWindows::runAtStartupFailure()
{
    // "startup" = 1 from the last run, but the autostart folder cannot be made: its parent is a file.
    m_home->writeSettingsFile("[Settings]\nstartup=1\nshowHelp=0\n");
    make();
    m_desktop->setAutostartFolder(m_home->path() + QStringLiteral("/blocker/autostart"));
    {
        QFile blocker(m_home->path() + QStringLiteral("/blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    QStringList statuses;
    connect(m_form.get(), &Form1::statusChanged, this, [&](const QString& s) { statuses << s; });
    m_form->Form_Load();
    QVERIFY2(!statuses.isEmpty() && statuses.first().startsWith(QStringLiteral("Error: Cannot create the autostart folder")),
             qPrintable(statuses.join(QLatin1Char('|'))));
    QVERIFY(!child<QCheckBox>("Check2")->isChecked());
    QCOMPARE(m_settings->read(QStringLiteral("startup"), QString()), QStringLiteral("0"));
}

void TestDesktopWindows::shutdownWaitsForWebsiteWindow()
{
    load();
    m_form->Command2_Click();
    m_desktop->showAbout();
    QPointer<Form2> overlay = m_desktop->overlay();
    QPointer<frmAbout> about = m_desktop->about();
    QPointer<Form8> help = m_desktop->help();

    // Closed while the website window lives: the windows go at once, the process when it has gone.
    m_desktop->showWebsite();
    m_form->close();
    QCOMPARE(m_formQuits, 0);  // the website window still has its second to live
    QTRY_VERIFY(!overlay && !about && !help);
    QCOMPARE(m_desktopQuits, 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_desktopQuits, 1, 3000);
    QVERIFY(!m_desktop->tray()->icon()->isVisible());
}

QTEST_MAIN(TestDesktopWindows)
#include "tst_desktopwindows.moc"
