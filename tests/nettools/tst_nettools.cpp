// WHOIS answers, server setting, exchange with whois_peer.py and window; DNS conversions.
#include "PeerProcess.h"
#include "nettools/NetTools.h"
#include "nettools/clsIPResolve.h"

#include <QApplication>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

class TestNetTools : public QObject
{
    Q_OBJECT
private slots:
    void answerText_data()
    {
        QTest::addColumn<int>("limit");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        const QString cut = WhoisAnswer::cutNote(8);
        QTest::newRow("line ends, byte order mark") << 99 << QByteArray("\xef\xbb\xbf" "a\r\nb\rc\nd") << "a\nb\nc\nd";
        QTest::newRow("invalid UTF-8, controls and bidi dropped, tab kept")
            << 99 << QByteArray("M\xfc\0\x1b[\t\xe2\x80\xae", 9) << u"M\ufffd[\t"_qs;
        QTest::newRow("exactly at the limit") << 8 << QByteArray("12345678") << "12345678";
        QTest::newRow("one byte over") << 8 << QByteArray("123456789") << "12345678" + cut;
        QTest::newRow("cut inside a letter") << 8 << QByteArray("123456\xe2\x82\xac") << "123456" + cut;
    }

    void answerText()
    {
        QFETCH(int, limit);
        QFETCH(QByteArray, bytes);
        WhoisAnswer answer(limit);
        for (qsizetype i = 0; i < bytes.size(); ++i)  // any split into pieces gives the same text
            answer.append(bytes.mid(i, 1));
        QTEST(answer.text(), "text");
    }

    void serverSetting_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("server");  // empty: refused
        QTest::newRow("host and port") << "127.0.0.1:4343" << "127.0.0.1 4343";
        QTest::newRow("bracketed IPv6 and port") << "[::1]:4343" << "::1 4343";
        QTest::newRow("bare IPv6") << "::1" << "::1 43";
        for (const char* bad : {"host:0", "host:65536", "host:4x", "host:", ":43", "[::1:43"})
            QTest::newRow(bad) << bad << "";
    }

    void serverSetting()
    {
        QFETCH(QString, setting);
        WhoisServer parsed;
        QString error;
        QTEST(WhoisServer::parse(setting, &parsed, &error) ? parsed.host + u' ' + QString::number(parsed.port) : "",
              "server");
    }

    void exchange_data()
    {
        QTest::addColumn<QString>("fault");  // of the peer; empty: no server at all
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("shown");  // the beginning; %1: the server's port
        QTest::newRow("answer in pieces") << "pieces" << "example.com" << "query was [example.com]\n";
        QTest::newRow("empty query") << "none" << "" << "query was []\n";
        QTest::newRow("answer above 1 MiB is cut")
            << "big" << "x" << (QString(1023, 'x') + '\n').repeated(1024) + WhoisAnswer::cutNote(1 << 20);
        QTest::newRow("server that never closes") << "hang" << "x"
            << "first part only\n\n\n[The WHOIS server 127.0.0.1:%1 did not finish its answer within 0.4 seconds";
        QTest::newRow("refused") << "" << "" << "Could not connect to the WHOIS server 127.0.0.1:%1: ";
    }

    void exchange()
    {
        QFETCH(QString, fault);
        QFETCH(QString, query);
        QFETCH(QString, shown);
        PeerProcess peer;
        QString error;
        QVERIFY2(fault.isEmpty() || peer.start("whois_peer.py", {"--fault", fault}, &error), qPrintable(error));
        const WhoisServer server{QStringLiteral("127.0.0.1"), fault.isEmpty() ? unusedLocalPort() : peer.port()};
        WhoisSession session;
        session.setTimeout(fault == QLatin1String("hang") ? 400 : 10000);
        QSignalSpy finished(&session, &WhoisSession::finished);
        session.start(server, query);
        QVERIFY(!finished.isEmpty() || finished.wait(15000)); // Windows may refuse a connection at once
        const QString text = finished.first().first().toString();
        QVERIFY2(text.startsWith(shown.replace("%1", QString::number(server.port))), qPrintable(text.left(200)));
        QCOMPARE(peer.readLines(100).value(0).mid(6), QString::fromLatin1(query.toUtf8().toHex()));  // "QUERY <hex>"
    }

    void isIPAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("address");
        QTest::newRow("leading zero") << "1.2.3.010" << true;
        for (const char* bad : {"1.2.3", "1.2.3.4.5", "1.2.3.256", "1.2..4", " 1.2.3.4", "1.2.3.0x1", "localhost"})
            QTest::newRow(bad) << QString::fromUtf8(bad) << false;
    }

    void isIPAddress()
    {
        QFETCH(QString, text);
        QFETCH(bool, address);
        QCOMPARE(clsIPResolve::IsIPAddress(text), address);
        QCOMPARE(clsIPResolve::IPToLong(text).has_value(), address);
    }

    void newerConversionWins()
    {
        // The test's own resolver holds "slow" back until "fast" has answered. Flags polled by the resolver's
        // threads, not a semaphore: under Wine a semaphore's wake-up was lost now and then. Shared, since the
        // threads are detached and may outlive a failed check.
        struct Gate
        {
            std::atomic<bool> open{false};
            std::atomic<int> slowDone{0};
        };
        const auto gate = std::make_shared<Gate>();
        DnsConverter converter([gate](DnsConverter::Direction, const QString& text) {
            if (text == QLatin1String("slow")) {
                for (int i = 0; i < 1000 && !gate->open; ++i) // bounded: 10 s
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                ++gate->slowDone;
            }
            return text;
        });
        QStringList results;
        for (const char* name : {"slow", "fast"})
            converter.convert(DnsConverter::Direction::NameToAddress, name, [&](const QString& r) { results << r; });
        QTRY_COMPARE(results, QStringList{"fast"});
        converter.convert(DnsConverter::Direction::NameToAddress, "slow", [&](const QString& r) { results << r; });
        converter.cancelAll();  // the window closed: nothing asked before reaches it
        gate->open = true;
        QTRY_COMPARE_WITH_TIMEOUT(gate->slowDone.load(), 2, 10000);
        QTest::qWait(100);
        QCOMPARE(results, QStringList{"fast"});
    }

    void whoisWindowAsksForEveryQuery()
    {
        PeerProcess peer;
        QString error;
        QVERIFY2(peer.start("whois_peer.py", {}, &error), qPrintable(error));
        qputenv(WhoisServer::EnvironmentVariable, "127.0.0.1:" + QByteArray::number(peer.port()));
        NetTools tools;
        tools.showWhois("example.com");
        QPointer<frmWhois> window = tools.whoisWindow();
        QTRY_COMPARE(window->answerText(), QStringLiteral("query was [example.com]\n"));
        tools.showWhois("192.0.2.7"); // a new query while the answer is shown: asked in the same window
        QCOMPARE(tools.whoisWindow(), window.data());
        QTRY_COMPARE(window->answerText(), QStringLiteral("query was [192.0.2.7]\n"));
        QCOMPARE(window->serverText(), QStringLiteral("Answer from 127.0.0.1:%1").arg(peer.port()));
        QCOMPARE(peer.readLines(200), (QStringList{"QUERY 6578616d706c652e636f6d", "QUERY 3139322e302e322e37"}));
        tools.unload(); // as the main window does when it closes
        QVERIFY(!window);
    }
};

QTEST_MAIN(TestNetTools)
#include "tst_nettools.moc"
