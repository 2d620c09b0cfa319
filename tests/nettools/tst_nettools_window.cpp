// The network tools from the main window on the offscreen platform: Enter and "Convert" in each box of
// the DNS converter with the system resolver, a newer conversion winning over a slow older one, and
// the WHOIS window against the WHOIS server of tests/peers/whois_peer.py.
#include "PeerProcess.h"
#include "TempConfigHome.h"
#include "app/Form1.h"
#include "app/Settings.h"
#include "nettools/NetTools.h"
#include "platform/HttpGet.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QtTest>

#include <atomic>

class TestNetToolsWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void convertFromEachBox_data();
    void convertFromEachBox();
    void newerConversionWins();
    void resultsAfterUnloadAreDropped();
    void whoisWindowAsksOncePerLoad();
    void whoisWindowSaysWhatWentWrong_data();
    void whoisWindowSaysWhatWentWrong();
    void closingTheMainWindowClosesWhois();

private:
    void makeForm(NetTools* tools);
    template <typename W> W* child(const char* name) { return m_form->findChild<W*>(QLatin1String(name)); }
    QStringList queriesSeen();

    PeerProcess m_peer;
    QString m_peerAddress;
    std::unique_ptr<TempConfigHome> m_home;
    std::unique_ptr<Settings> m_settings;
    HttpGet m_http;
    std::unique_ptr<NetTools> m_tools;
    std::unique_ptr<Form1> m_form;
};

void TestNetToolsWindow::initTestCase()
{
    QString error;
    QVERIFY2(m_peer.start(QStringLiteral("whois_peer.py"), {}, &error), qPrintable(error));
    m_peerAddress = QStringLiteral("127.0.0.1:") + QString::number(m_peer.port());
}

void TestNetToolsWindow::init()
{
    m_home = std::make_unique<TempConfigHome>();
    m_settings = std::make_unique<Settings>(m_home->settingsPath());
    qputenv("VISTREL_WHOIS_SERVER", m_peerAddress.toUtf8());
}

void TestNetToolsWindow::cleanup()
{
    m_form.reset();
    m_tools.reset();
    m_settings.reset();
    m_home.reset();
}

void TestNetToolsWindow::makeForm(NetTools* tools)
{
    m_form = std::make_unique<Form1>(*m_settings, m_http);
    m_form->setQuit([] {});
    m_form->setNetToolsHooks(tools);
    m_form->show();
}

QStringList TestNetToolsWindow::queriesSeen()
{
    QStringList queries;
    for (const QString& line : m_peer.readLines(100))
        if (line.startsWith(QLatin1String("QUERY")))  // "QUERY <hex>", the hex empty for an empty query
            queries << QString::fromUtf8(QByteArray::fromHex(line.mid(6).toLatin1()));
    return queries;
}

void TestNetToolsWindow::convertFromEachBox_data()
{
    QTest::addColumn<QString>("input");   // box typed into
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enter");      // Enter in the box, or its "Convert"
    QTest::addColumn<QString>("output");  // box the result goes to
    QTest::addColumn<QString>("expected");
    QTest::newRow("address, Enter") << "Text1" << "127.0.0.1" << true << "Text2" << "localhost";
    QTest::newRow("address, Convert") << "Text1" << "127.0.0.1" << false << "Text2" << "localhost";
    QTest::newRow("name, Enter") << "Text2" << "localhost" << true << "Text1" << "127.0.0.1";
    QTest::newRow("name, Convert") << "Text2" << "localhost" << false << "Text1" << "127.0.0.1";
    QTest::newRow("numeric text as name") << "Text2" << "127.0.0.1" << true << "Text1" << "127.0.0.1";
    QTest::newRow("three parts") << "Text1" << "1.2.3" << true << "Text2" << "";
    QTest::newRow("five parts") << "Text1" << "127.0.0.1.1" << true << "Text2" << "";
    QTest::newRow("part above 255") << "Text1" << "1.2.3.256" << false << "Text2" << "";
    QTest::newRow("empty address") << "Text1" << "" << true << "Text2" << "";
}

void TestNetToolsWindow::convertFromEachBox()
{
    QFETCH(QString, input);
    QFETCH(QString, text);
    QFETCH(bool, enter);
    QFETCH(QString, output);
    QFETCH(QString, expected);
    m_tools = std::make_unique<NetTools>();
    makeForm(m_tools.get());
    auto* in = m_form->findChild<QLineEdit*>(input);
    auto* out = m_form->findChild<QLineEdit*>(output);
    out->setText(QStringLiteral("left from before"));
    in->setText(text);
    if (enter)
        QTest::keyClick(in, Qt::Key_Return);
    else
        m_form->findChild<QPushButton*>(input == QLatin1String("Text1") ? QStringLiteral("cmdConvert")
                                                                        : QStringLiteral("cmdConvert2"))
            ->click();
    QTRY_COMPARE(out->text(), expected);
    QCOMPARE(in->text(), text);  // the input box keeps what was typed
}

namespace {

// Stands in for the system resolver so a look-up can be held back: "slow.example" waits until the
// test releases it.
struct HeldLookup
{
    QSemaphore release;
    std::atomic<bool> slowDone{false};
    QString operator()(DnsConverter::Direction, const QString& text)
    {
        if (text == QLatin1String("slow.example")) {
            release.acquire();
            slowDone = true;
            return QStringLiteral("192.0.2.1");
        }
        return QStringLiteral("192.0.2.2");
    }
};

} // namespace

void TestNetToolsWindow::newerConversionWins()
{
    auto held = std::make_shared<HeldLookup>();
    m_tools = std::make_unique<NetTools>([held](DnsConverter::Direction d, const QString& t) { return (*held)(d, t); });
    makeForm(m_tools.get());
    auto* text1 = child<QLineEdit>("Text1");
    auto* text2 = child<QLineEdit>("Text2");
    text2->setText(QStringLiteral("slow.example"));
    QTest::keyClick(text2, Qt::Key_Return);
    // The window goes on working while the first look-up hangs.
    text2->setText(QStringLiteral("fast.example"));
    QTest::keyClick(text2, Qt::Key_Return);
    QTRY_COMPARE(text1->text(), QStringLiteral("192.0.2.2"));
    held->release.release();
    QTRY_VERIFY(held->slowDone);
    QTest::qWait(100);
    QCOMPARE(text1->text(), QStringLiteral("192.0.2.2"));
}

void TestNetToolsWindow::resultsAfterUnloadAreDropped()
{
    auto held = std::make_shared<HeldLookup>();
    m_tools = std::make_unique<NetTools>([held](DnsConverter::Direction d, const QString& t) { return (*held)(d, t); });
    makeForm(m_tools.get());
    auto* text1 = child<QLineEdit>("Text1");
    text1->setText(QStringLiteral("typed"));
    child<QLineEdit>("Text2")->setText(QStringLiteral("slow.example"));
    child<QPushButton>("cmdConvert2")->click();
    m_form->close();
    held->release.release();
    QTRY_VERIFY(held->slowDone);
    QTest::qWait(100);
    QCOMPARE(text1->text(), QStringLiteral("typed"));
}

void TestNetToolsWindow::whoisWindowAsksOncePerLoad()
{
    m_tools = std::make_unique<NetTools>();
    makeForm(m_tools.get());
    auto* text3 = child<QLineEdit>("Text3");
    text3->setText(QStringLiteral("example.com"));
    child<QPushButton>("cmdWhois")->click();
    QPointer<frmWhois> window = m_tools->whoisWindow();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("WHOIS Information"));
    QVERIFY(!window->parentWidget());
    auto* text1 = window->findChild<QPlainTextEdit*>(QStringLiteral("text1"));
    QVERIFY(text1->isReadOnly());
    QTRY_COMPARE(text1->toPlainText(), QStringLiteral("query was [example.com]\n"));

    // A second "Whois" while the window is open: same window, same answer, nothing sent.
    text3->setText(QStringLiteral("192.0.2.7"));
    QTest::keyClick(text3, Qt::Key_Return);
    QCOMPARE(m_tools->whoisWindow(), window.data());
    QCOMPARE(m_tools->whoisQuery(), QStringLiteral("192.0.2.7"));
    QTest::qWait(200);
    QCOMPARE(text1->toPlainText(), QStringLiteral("query was [example.com]\n"));
    QCOMPARE(queriesSeen(), QStringList{QStringLiteral("example.com")});

    // Closing unloads it; the next "Whois" asks again with the text now in the box.
    window->close();
    QTRY_VERIFY(!window);
    QVERIFY(!m_tools->whoisWindow());
    child<QPushButton>("cmdWhois")->click();
    QVERIFY(m_tools->whoisWindow());
    QTRY_COMPARE(m_tools->whoisWindow()->answerText(), QStringLiteral("query was [192.0.2.7]\n"));
    QCOMPARE(queriesSeen(), QStringList{QStringLiteral("192.0.2.7")});
}

void TestNetToolsWindow::whoisWindowSaysWhatWentWrong_data()
{
    QTest::addColumn<QString>("server");  // empty: the test's peer
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("begins");
    QTest::newRow("never closes") << "" << "hang"
                                  << "first part only\n\n\n[The WHOIS server 127.0.0.1:%1 did not finish its answer "
                                     "within 0.5 seconds; the connection was closed.]";
    QTest::newRow("refused") << "127.0.0.1:1" << "example.com" << "Could not connect to the WHOIS server 127.0.0.1:1: ";
    QTest::newRow("bad server setting") << "127.0.0.1:99999" << "example.com"
                                        << "No WHOIS server to ask: VISTREL_WHOIS_SERVER: \"99999\" is not a port";
}

void TestNetToolsWindow::whoisWindowSaysWhatWentWrong()
{
    QFETCH(QString, server);
    QFETCH(QString, query);
    QFETCH(QString, begins);
    if (!server.isEmpty())
        qputenv("VISTREL_WHOIS_SERVER", server.toUtf8());
    else
        begins = begins.arg(QString::number(m_peer.port()));
    m_tools = std::make_unique<NetTools>();
    m_tools->setWhoisTimeout(500);
    makeForm(m_tools.get());
    child<QLineEdit>("Text3")->setText(query);
    child<QPushButton>("cmdWhois")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!m_tools->whoisWindow()->answerText().isEmpty(), 5000);
    const QString text = m_tools->whoisWindow()->answerText();
    QVERIFY2(text.startsWith(begins), qPrintable(text));
}

void TestNetToolsWindow::closingTheMainWindowClosesWhois()
{
    m_tools = std::make_unique<NetTools>();
    m_tools->setWhoisTimeout(60000);
    makeForm(m_tools.get());
    child<QLineEdit>("Text3")->setText(QStringLiteral("hang"));
    child<QPushButton>("cmdWhois")->click();
    QPointer<frmWhois> window = m_tools->whoisWindow();
    QVERIFY(window);
    m_form->close();
    QVERIFY(!window);
}

QTEST_MAIN(TestNetToolsWindow)
#include "tst_nettools_window.moc"
