// RTF reader, help file search, platform choice; the windows around the main window (nginx).
#include "NginxPeer.h"
#include "TempConfigHome.h"
#include "app/MainWindowWiring.h"
#include "core/AddressWatcher.h"
#include "mainwindow/Form1.h"
#include "core/ProductInfo.h"
#include "core/Settings.h"
#include "desktop/DesktopArguments.h"
#include "desktop/DesktopIntegration.h"
#include "desktop/FileExists.h"
#include "rtf/RtfReader.h"
#include "desktop/TrayIcon.h"
#include "desktop/frmAbout.h"
#include "desktop/frmSplash.h"
#include "platform/RunAtLogon.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

class TestDesktop : public QObject
{
    Q_OBJECT
private slots:
    void projectHelpFile()
    {
        QFile file(QStringLiteral(VISTREL_SOURCE_DIR "/resources/Help.rtf"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const RtfDocument doc = RtfReader::read(file.readAll());
        QVERIFY(doc.problems.isEmpty() && doc.plainText().startsWith(QStringLiteral("Tarnwick IP Vistrel 3.3\n")));
    }

    void rtfText_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("problems");
        const auto row = [](const char* name, const QByteArray& rtf, const QString& text, const QString& problem = {}) {
            QTest::newRow(name) << rtf << text << problem;
        };
        row("delimiter blank; line ends in the file", "{\\rtf1\\b a\\b0  b\\par c\r\nd\\par}", "a b\ncd");
        row("hex Latin-1 and Windows-1252", "{\\rtf1 \\'e9\\'C4\\'80\\'93\\'94}", u"\u00e9\u00c4\u20ac\u201c\u201d"_qs);
        row("unicode and its fallback", "{\\rtf1 \\u8364?\\u8364\\'80x\\u-3913?}", u"\u20ac\u20acx\uf0b7"_qs);
        row("uc0 keeps what follows, uc2 skips two", "{\\rtf1{\\uc0 \\u233 x}\\uc2 \\u233 ab!}", u"\u00e9x\u00e9!"_qs);
        row("surrogates", "{\\rtf1 \\u-10179?\\u-8704?\\u-10179?x\\u99999?}", u"\U0001F600\ufffdx\ufffd"_qs);
        row("skipped, symbols", "{\\rtf1{\\fonttbl{\\f0 A;}}{\\*\\x y}\\z\\bullet\\tab\\~}", u"\u2022\t\u00a0"_qs);
        row("braces not matched", "{\\rtf1 a}}{b", "ab", "a } without its {|1 group(s) left open at the end");
        row("huge parameter, NUL byte", QByteArray("{\\rtf1 \\u99999999999999999999?\0x}", 33), u"\ufffdx"_qs);
        row("no header, cut \\'", "ab\\'4", "ab4", "the text does not begin with {\\rtf|a \\' without two hex digits");
        row("nesting deeper than kept", "{\\rtf1 a" + QByteArray(9999, '{') + "b" + QByteArray(9999, '}') + "c}", "abc",
            "groups nested deeper than 64");
    }

    void rtfText()
    {
        QFETCH(QByteArray, rtf);
        const RtfDocument doc = RtfReader::read(rtf);
        QTEST(doc.plainText(), "text");
        QTEST(doc.problems.join(QLatin1Char('|')), "problems");
    }

    void fileExists_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("found");  // empty: none
        QTest::newRow("another letter case") << "Help.rtf" << "help.rtf";
        QTest::newRow("hidden file") << "hidden/.Help.rtf" << "";
        QTest::newRow("folder of that name") << "folder/Help.rtf" << "";
    }

    void fileExists()
    {
        QFETCH(QString, asked);
        QFETCH(QString, found);
        QTemporaryDir dir;
        for (const char* file : {"help.rtf", "hidden/.Help.rtf", "folder/Help.rtf/x"}) {
            QVERIFY(QDir(dir.path()).mkpath(QFileInfo(dir.filePath(file)).path()));
            QVERIFY(QFile(dir.filePath(file)).open(QIODevice::WriteOnly));
        }
        const QString result = findExistingFile(dir.filePath(asked)); // a name that opens the file: as written
        QVERIFY2(found.isEmpty() ? result.isEmpty() : QFileInfo(result) == QFileInfo(dir.filePath(found)),
                 qPrintable(result));                                  // where the system ignores letter case
        QCOMPARE(FileExists(dir.filePath(asked)), !found.isEmpty());
    }

    void platformChoice_data()
    {
        QTest::addColumn<QString>("environment");  // DISPLAY WAYLAND_DISPLAY XDG_SESSION_TYPE QT_QPA_PLATFORM argument
        QTest::addColumn<bool>("x11");
        QTest::newRow("Wayland with an X server") << ":0 - wayland - -" << true;
        QTest::newRow("Wayland display with an X server") << ":0 wayland-0 - - -" << true;
        QTest::newRow("Wayland without an X server") << "- wayland-0 wayland - -" << false;
        QTest::newRow("platform in the environment") << ":0 wayland-0 - wayland -" << false;
        QTest::newRow("-platform given") << ":0 wayland-0 - - -platform" << false;
    }

    void platformChoice()
    {
        QFETCH(QString, environment);
        QFETCH(bool, x11);
        QList<QByteArray> values = environment.toUtf8().split(' ');
        const char* const names[] = {"DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "QT_QPA_PLATFORM"};
        for (int i = 0; i < 4; ++i)
            values[i] == "-" ? qunsetenv(names[i]) : qputenv(names[i], values[i]);
        char* argv[] = {values[4].data(), values[4].data(), nullptr};
        DesktopArguments arguments(values[4] == "-" ? 1 : 2, argv);
        QCOMPARE(arguments.prefersX11(), x11);
        QCOMPARE(QByteArray(arguments.argv()[arguments.argc() - 1]), x11 ? QByteArray("xcb") : values[4]);
    }

    void initTestCase()
    {
        QVERIFY2(m_nginx.start(), qPrintable(m_nginx.error()));
    }

    void init()
    {
        m_home = std::make_unique<TempConfigHome>();
        m_settings = std::make_unique<Settings>(m_home->settingsPath());
        m_nginx.setBody("ip", "203.0.113.7\n");
        qputenv("VISTREL_ADDRESS_URL", m_nginx.url("/body/ip").toEncoded());
        m_opened.clear();
        m_formQuits = m_desktopQuits = 0;
        make();
    }

    void overlayFollowsLookups()
    {
        load();
        m_nginx.setBody("ip6", "2001:db8:ffff:ffff:ffff:ffff:ffff:fffe\n");
        qputenv("VISTREL_ADDRESS6_SOURCES", m_nginx.url("/body/ip6").toEncoded());
        m_watcher->setIPv6RouteProbe([] { return true; });
        QSignalSpy done(m_form.get(), &Form1::lookupFinished);
        m_form->findChild<QPushButton*>("Command1")->click();
        QVERIFY(done.wait(10000));
        qunsetenv("VISTREL_ADDRESS6_SOURCES");
        QVERIFY(!m_desktop->overlay());  // made when first shown, with the addresses of then; written by every lookup
        m_desktop->setOverlayVisible(true);
        Form2* overlay = m_desktop->overlay();
        auto* label = overlay->findChild<QLabel*>("lblIPv6");
        QCOMPARE(label->text(), QStringLiteral("2001:db8:ffff:ffff:ffff:ffff:ffff:fffe"));
        QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(label->text()));  // not cut off
        QVERIFY(overlay->width() >= label->geometry().right());
        QVERIFY(overlay->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        m_desktop->pendingNoticesChanged("Mail: next try at 00:40"); // the tray tip: addresses, state, what is pending
        const QString checked = "Current\nLast checked " + m_watcher->state().lastChecked.toString(u"HH:mm");
        QCOMPARE(m_desktop->tray()->icon()->toolTip(), "Tarnwick IP Vistrel\nInternal: " + m_form->internalAddress() +
                                                           "\nExternal: 203.0.113.7\n" + checked +
                                                           "\nMail: next try at 00:40");
        QCOMPARE(overlay->toolTip(), checked);
        // A failed lookup marks the tray icon, and the tips say the addresses are stale.
        const qint64 plain = m_desktop->tray()->icon()->icon().cacheKey();
        m_nginx.setBody("ip", "error\n");
        m_form->Command1_Click();
        QVERIFY(done.wait(10000));
        QVERIFY(m_desktop->tray()->icon()->icon().cacheKey() != plain);
        QVERIFY(overlay->toolTip().startsWith("Stale: sources answered badly; addresses as of "));
        // The overlay says so too, as the main window does: dimmed, with their age under them.
        const QString asOf = "as of " + m_watcher->state().asOf.toString(u"HH:mm");
        QCOMPARE(overlay->outdated(), asOf);
        QCOMPARE(label->foregroundRole(), QPalette::PlaceholderText);
        QVERIFY(label->accessibleName().endsWith(" (" + asOf + ')'));
        QVERIFY(overlay->rect().contains(overlay->findChild<QLabel*>("lblAsOf")->geometry()));
    }

    void overlayRemembersItsPlaceAndThatItWasOn()
    {
        load();
        m_desktop->setOverlayVisible(true);
        Form2* overlay = m_desktop->overlay();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY(screen.contains(overlay->geometry()) && overlay->x() > screen.center().x()); // top right at first
        QVERIFY(overlay->windowFlags().testFlag(Qt::Tool));                                  // off the task bar
        const auto mouse = [overlay](QEvent::Type type, QPoint global, Qt::MouseButtons held) {
            QMouseEvent event(type, global - overlay->pos(), global, Qt::LeftButton, held, Qt::NoModifier);
            QApplication::sendEvent(overlay, &event);
        };
        const QPoint grab = overlay->pos() + QPoint(5, 5), to = QPoint(100, 200);
        mouse(QEvent::MouseButtonPress, grab, Qt::LeftButton);
        mouse(QEvent::MouseMove, to + QPoint(5, 5), Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, to + QPoint(5, 5), Qt::NoButton);
        QCOMPARE(overlay->pos(), to);
        QCOMPARE(m_settings->read("overlayX", QString()) + ',' + m_settings->read("overlayY", QString()), "100,200");
        for (const QByteArray& place : {QByteArray("100"), QByteArray("50000")}) { // on a screen; on none any more
            m_settings->write("overlayX", QString::fromLatin1(place));
            load();
            QVERIFY(m_desktop->isOverlayVisible());
            QCOMPARE(m_desktop->overlay()->pos() == to, place == "100");
            QVERIFY(screen.contains(m_desktop->overlay()->geometry()));
        }
        m_desktop->toggleOverlay();
        QCOMPARE(m_settings->read("overlayShown", QString()), QStringLiteral("0"));
    }

    void trayMenuActions()
    {
        load();
        QMenu* menu = m_desktop->tray()->mnuPopup();
        emit m_desktop->tray()->icon()->activated(QSystemTrayIcon::Trigger);  // a left click opens it too
        QVERIFY(menu->isVisible() && !m_desktop->tray()->icon()->icon().isNull() && !qApp->windowIcon().isNull());
        const auto item = [menu](int index) {
            return menu->findChild<QAction*>(QStringLiteral("mnuPopupItem%1").arg(index));
        };
        item(1)->trigger(); // "Address Overlay On/Off"
        QVERIFY(m_desktop->overlay()->isVisible());
        QCOMPARE(m_form->findChild<QPushButton*>("Command2")->text(), QStringLiteral("Turn off IP Address &Overlay"));
        m_desktop->overlay()->findChild<QAction*>("mnuPopupItem1")->trigger();  // the overlay's own "Hide"
        QCOMPARE(m_form->findChild<QPushButton*>("Command2")->text(), QStringLiteral("Turn on IP Address &Overlay"));
        QVERIFY(!m_desktop->overlay()->isVisible());
        m_form->setWindowState(Qt::WindowMinimized);
        QTRY_VERIFY(!m_form->isVisible());
        QCOMPARE(m_settings->read("Minimized", QString()), QStringLiteral("1"));
        item(0)->trigger(); // "Show"
        QVERIFY(m_form->isVisible() && !m_form->isMinimized());
        QSignalSpy started(m_form.get(), &Form1::lookupStarted),
            history(m_desktop.get(), &DesktopIntegration::historyRequested);
        item(3)->trigger(); // "Refresh"
        item(6)->trigger(); // "History"
        QCOMPARE(started.size() + history.size(), 2);
        for (const auto& [index, address] : {std::pair{4, m_form->externalAddress()}, {5, m_form->internalAddress()}}) {
            item(index)->trigger(); // "Copy External IP", "Copy Internal IP"
            QCOMPARE(QGuiApplication::clipboard()->text(), address);
        }
        item(2)->trigger(); // "Exit"
        QCOMPARE(m_formQuits, 1);
        m_watcher->pendingNotices().failed(Notifiers::Kind::Web);
        QVERIFY(m_desktop->tray()->icon()->toolTip().contains("\nWeb notice pending, next try at "));
    }

    void refusedRunAtLogonLeavesTheBoxUnticked()
    {
        if (!RunAtLogon::defaultAutostartFolder().startsWith(m_home->path())) // Windows: the Run key (tst_registry)
            QSKIP("the autostart entries are not files under XDG_CONFIG_HOME here");
        QFile blocker(m_home->path() + "/autostart");  // a file where the autostart folder would be made
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        load();
        auto* box = m_form->findChild<QCheckBox*>("Check2");
        box->click();
        QVERIFY(!box->isChecked() && m_form->status().startsWith("Error: Cannot create the autostart folder"));
        QCOMPARE(m_settings->read("startup", QString()), QStringLiteral("0"));
    }

    void minimisedWithoutTrayStaysInTheTaskBar()
    {
        load(false);
        m_form->setWindowState(Qt::WindowMinimized);
        QTest::qWait(20);
        QVERIFY(m_form->isVisible());
    }

    void splashHandsOverAfter75Ticks()
    {
        m_desktop->startWithSplash([this] { m_form->Form_Load(); }, 1);
        QTRY_VERIFY(m_desktop->splash()->handedOver());
        QCOMPARE(m_desktop->splash()->counter(), 150);
        QVERIFY(!m_desktop->splash()->isVisible() && m_form->isVisible());
        QCOMPARE(m_desktop->splash()->geometry().center(),
                 QGuiApplication::primaryScreen()->availableGeometry().center());
        QTRY_COMPARE(m_form->externalAddress(), QStringLiteral("203.0.113.7"));
    }

    void helpShownAtStartUntilUnticked()
    {
        load();
        QVERIFY(m_desktop->help()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        m_desktop->help()->findChild<QCheckBox*>("Check1")->click();
        load();
        QVERIFY(!m_desktop->help());
    }

    void helpFileAbove4MiBIsNotRead()
    {
        QFile file(m_home->path() + "/Help.rtf");
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(4 * 1024 * 1024 + 1));
        m_desktop->setHelpFolders({m_home->path()});
        m_desktop->showHelp();
        QVERIFY(m_desktop->help()->findChild<QWidget*>("rtf1")->property("plainText").toString().contains("too large"));
    }

    void helpKeepsTheFormats()
    {
        QFile file(m_home->path() + "/Help.rtf");
        QVERIFY(file.open(QIODevice::WriteOnly) &&
                file.write("{\\rtf1\\qc\\b\\i\\ul\\fs40 a\\plain b\\par\\pard\\qr c\\par\\qj d\\par}"));
        file.close();
        m_desktop->setHelpFolders({m_home->path()});
        m_desktop->showHelp();
        QString shown;  // of each run: text, bold, italic, underlined, points / alignment of its paragraph
        const QTextDocument* document = m_desktop->help()->findChild<QTextBrowser*>("rtf1")->document();
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            for (auto run = block.begin(); !run.atEnd(); ++run) {
                const QTextCharFormat f = run.fragment().charFormat();
                shown += run.fragment().text() + (f.fontWeight() == QFont::Bold ? "b" : "") +
                         (f.fontItalic() ? "i" : "") + (f.fontUnderline() ? "u" : "") +
                         QStringLiteral("%1/%2 ").arg(f.fontPointSize()).arg(int(block.blockFormat().alignment()));
            }
        }
        QCOMPARE(shown, QStringLiteral("abiu20/4 b12/4 c12/2 d12/8 "));
    }

    // Also run by ctest on a 1600x1000 screen at scale 1 and 2 (tst_desktop_scale1, _scale2); at 2 the screen is
    // smaller than the help window and the main window.
    void windowsFitTheScreenAndUseTheLargePictures()
    {
        load();
        frmSplash splash({}, 1000);
        splash.show();
        m_desktop->showHelp();
        m_desktop->showAbout();
        const QRect area = m_form->screen()->availableGeometry();
        for (const QWidget* window : std::initializer_list<const QWidget*>{&splash, m_desktop->help(), m_desktop->about()})
            QVERIFY2(area.contains(window->frameGeometry()) &&
                         (window->frameGeometry().center() - area.center()).manhattanLength() < 40,
                     qPrintable(QStringLiteral("%1 %2 %3").arg(window->objectName()).arg(window->x()).arg(window->width())));
        for (const QLabel* picture : {m_desktop->about()->findChild<QLabel*>("Picture1"), splash.findChild<QLabel*>("Image1")})
            QCOMPARE(picture->pixmap().devicePixelRatio(), m_form->devicePixelRatio());
        // The main window fits too; what it cannot show scrolls into view, and where all fits nothing scrolls.
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        const std::unique_ptr<char[]> frame(QTest::toString(m_form->frameGeometry()));
        QVERIFY2(area.contains(m_form->frameGeometry()), frame.get());
        auto* content = m_form->findChild<QScrollArea*>("contentArea");
        if (m_form->devicePixelRatio() == 1 && area.height() >= 900) // 1600x1000 at scale 1: as it was, no scrolling
            QVERIFY(!content->verticalScrollBar()->isVisible() && !content->horizontalScrollBar()->isVisible());
        auto* setup = m_form->findChild<QPushButton*>("Command3");
        content->ensureWidgetVisible(setup);
        QVERIFY(content->viewport()->rect().contains(QRect(setup->mapTo(content->viewport(), QPoint()), setup->size())));
    }

    void websiteWindowLivesOneSecond()
    {
        load();  // About's link opens it; within it a second request opens nothing, and closing the program waits
        m_desktop->showAbout();
        const ProductInfo& product = LoadProductInfo();
        QCOMPARE(m_desktop->about()->windowTitle(), "About " + product.productName);
        QCOMPARE(m_desktop->about()->findChild<QLabel*>("lblVersion")->text(),
                 QStringLiteral("%1.%2").arg(product.majorVersion).arg(product.minorVersion));
        emit m_desktop->about()->findChild<QLabel*>("lblWebsite")->linkActivated("website");
        m_desktop->showWebsite();
        QCOMPARE(m_opened, QList<QUrl>{QUrl("http://tarnwicksoftware.com")});
        m_form->close();
        QCOMPARE(m_formQuits + m_desktopQuits, 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_desktopQuits, 1, 3000);
    }

private:
    void make(bool tray = true)
    {
        m_desktop.reset();
        m_form.reset();
        m_watcher = std::make_unique<AddressWatcher>(*m_settings);
        m_form = std::make_unique<Form1>(*m_watcher, *m_settings);
        m_desktop = std::make_unique<DesktopIntegration>(*m_form, *m_watcher, *m_settings);
        connectMainWindow(*m_form, {.desktop = m_desktop.get(), .quit = [this] { ++m_formQuits; }});
        m_desktop->setHelpFolders({VISTREL_SOURCE_DIR "/resources"});
        m_desktop->setUrlOpener([this](const QUrl& url) { return (m_opened << url, true); });
        m_desktop->setTrayAvailable([tray] { return tray; });
        m_desktop->setQuit([this] { ++m_desktopQuits; });
    }

    void load(bool tray = true)
    {
        make(tray);
        QSignalSpy done(m_form.get(), &Form1::lookupFinished);
        m_form->Form_Load();
        QVERIFY(done.wait(10000));  // the lookup answers after Form_Load returned
        m_desktop->showMainWindow();
    }

    NginxPeer m_nginx;
    std::unique_ptr<TempConfigHome> m_home;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<AddressWatcher> m_watcher;
    std::unique_ptr<Form1> m_form;
    std::unique_ptr<DesktopIntegration> m_desktop;
    QList<QUrl> m_opened;
    int m_formQuits = 0, m_desktopQuits = 0;
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
