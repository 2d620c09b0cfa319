// The WHOIS exchange against a small WHOIS server on 127.0.0.1 (tests/peers/whois_peer.py): answers in
// many pieces, the empty query, a server that never closes, a refused connection, an answer
// above the limit; and the turning of answer bytes into text, and the server setting, on their own.
#include "PeerProcess.h"
#include "nettools/WhoisAnswer.h"
#include "nettools/WhoisServer.h"
#include "nettools/WhoisSession.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

class TestWhois : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void answerText_data();
    void answerText();
    void answerLimit_data();
    void answerLimit();
    void serverSetting_data();
    void serverSetting();
    void exchange_data();
    void exchange();
    void serverThatNeverClosesIsCutOff();
    void refusedConnection();
    void answerAboveLimitIsCut();
    void closingTheSocketRaisesNoEvent();

private:
    /// Runs one exchange with the peer and returns the shown text.
    QString runExchange(WhoisSession& session, const QString& query, int timeoutMs = 10000);
    QStringList queriesSeen();

    PeerProcess m_peer;
    WhoisServer m_server;
};

void TestWhois::initTestCase()
{
    QString error;
    QVERIFY2(m_peer.start(QStringLiteral("whois_peer.py"), {}, &error), qPrintable(error));
    m_server.host = QStringLiteral("127.0.0.1");
    m_server.port = m_peer.port();
    QVERIFY(m_server.port != 0);
}

void TestWhois::answerText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("CR LF lines") << QByteArray("a: 1\r\nb: 2\r\n") << "a: 1\nb: 2\n";
    QTest::newRow("lone CR and LF") << QByteArray("a\rb\nc") << "a\nb\nc";
    QTest::newRow("UTF-8") << QByteArray("Stra\xc3\x9f" "e") << QString::fromUtf8("Stra\xc3\x9f" "e");
    QTest::newRow("invalid UTF-8 read as Latin-1") << QByteArray("M\xfcller \xc3\x9f") << QString::fromUtf8("M\xc3\xbcller \xc3\x83\xef\xbf\xbd");
    QTest::newRow("NUL and escape shown as replacement") << QByteArray("a\0b\x1b[31m", 8) << QString::fromUtf8("a\xef\xbf\xbd" "b\xef\xbf\xbd[31m");
    QTest::newRow("tab kept") << QByteArray("k\tv") << "k\tv";
    QTest::newRow("byte order mark dropped") << QByteArray("\xef\xbb\xbfok") << "ok";
    QTest::newRow("overlong encoding is not UTF-8") << QByteArray("\xc0\xaf") << QString::fromUtf8("\xc3\x80\xc2\xaf");
    QTest::newRow("empty") << QByteArray() << "";
}

void TestWhois::answerText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    WhoisAnswer answer;
    // Any split of the bytes into pieces gives the same text.
    for (qsizetype i = 0; i < bytes.size(); ++i)
        answer.append(bytes.mid(i, 1));
    QCOMPARE(answer.bytes(), bytes);
    QCOMPARE(answer.text(), text);
    QVERIFY(!answer.isCut());
}

void TestWhois::answerLimit_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<bool>("cut");
    // Limit 8 bytes.
    QTest::newRow("exactly at the limit") << QByteArray("12345678") << "12345678" << false;
    QTest::newRow("one byte over") << QByteArray("123456789") << "12345678" << true;
    QTest::newRow("cut inside a UTF-8 letter keeps the rest UTF-8")
        << QByteArray("1234567\xc3\x9f") << "1234567" << true;
    QTest::newRow("cut inside a 3-byte letter") << QByteArray("123456\xe2\x82\xac") << "123456" << true;
    QTest::newRow("cut after a whole letter") << QByteArray("12345\xe2\x82\xac!!") << QString::fromUtf8("12345\xe2\x82\xac") << true;
}

void TestWhois::answerLimit()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, kept);
    QFETCH(bool, cut);
    WhoisAnswer answer(8);
    answer.append(bytes.left(3));
    answer.append(bytes.mid(3));
    if (cut)
        answer.append("more after the cut");
    QCOMPARE(answer.bytes(), bytes.left(8));
    QCOMPARE(answer.isCut(), cut);
    QCOMPARE(answer.text(), cut ? kept + WhoisAnswer::cutNote(8) : kept);
}

void TestWhois::serverSetting_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("unset is the registry server") << "" << true << "whois.arin.net" << 43;
    QTest::newRow("host only") << "whois.example" << true << "whois.example" << 43;
    QTest::newRow("host and port") << "127.0.0.1:4343" << true << "127.0.0.1" << 4343;
    QTest::newRow("bracketed IPv6 and port") << "[::1]:4343" << true << "::1" << 4343;
    QTest::newRow("bare IPv6") << "::1" << true << "::1" << 43;
    QTest::newRow("port 0") << "host:0" << false << "" << 0;
    QTest::newRow("port too large") << "host:65536" << false << "" << 0;
    QTest::newRow("port not a number") << "host:4x" << false << "" << 0;
    QTest::newRow("empty port") << "host:" << false << "" << 0;
    QTest::newRow("no host") << ":43" << false << "" << 0;
    QTest::newRow("unclosed bracket") << "[::1:43" << false << "" << 0;
}

void TestWhois::serverSetting()
{
    QFETCH(QString, setting);
    QFETCH(bool, ok);
    QFETCH(QString, host);
    QFETCH(int, port);
    qputenv(WhoisServer::EnvironmentVariable, setting.toUtf8());
    WhoisServer server;
    QString error;
    QCOMPARE(WhoisServer::fromEnvironment(&server, &error), ok);
    qunsetenv(WhoisServer::EnvironmentVariable);
    if (!ok) {
        QVERIFY(error.startsWith(QLatin1String("VISTREL_WHOIS_SERVER: ")));
        return;
    }
    QCOMPARE(server.host, host);
    QCOMPARE(int(server.port), port);
}

QString TestWhois::runExchange(WhoisSession& session, const QString& query, int timeoutMs)
{
    session.setTimeout(timeoutMs);
    QSignalSpy finished(&session, &WhoisSession::finished);
    session.start(m_server, query);
    if (!finished.wait(timeoutMs + 5000))
        return QStringLiteral("<no end>");
    return finished.first().first().toString();
}

QStringList TestWhois::queriesSeen()
{
    QStringList queries;
    for (const QString& line : m_peer.readLines(100))
        if (line.startsWith(QLatin1String("QUERY")))  // "QUERY <hex>", the hex empty for an empty query
            queries << QString::fromUtf8(QByteArray::fromHex(line.mid(6).toLatin1()));
    return queries;
}

void TestWhois::exchange_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("shown");
    QString lines;
    for (int i = 0; i < 80; ++i)
        lines += QStringLiteral("line %1 of the answer\n").arg(i, 2, 10, QLatin1Char('0'));
    QTest::newRow("answer in many pieces") << "pieces" << lines;
    QTest::newRow("empty query sends a bare CR LF") << "" << "query was []\n";
    QTest::newRow("domain name") << "example.com" << "query was [example.com]\n";
    QTest::newRow("IP address") << "192.0.2.1" << "query was [192.0.2.1]\n";
    QTest::newRow("query sent as UTF-8") << QString::fromUtf8("b\xc3\xbc" "cher.example")
                                         << QString::fromUtf8("query was [b\xc3\xbc" "cher.example]\n");
    QTest::newRow("Latin-1 answer") << "latin1" << QString::fromUtf8("Stra\xc3\x9f" "e M\xc3\xbcller\n");
}

void TestWhois::exchange()
{
    QFETCH(QString, query);
    QFETCH(QString, shown);
    WhoisSession session;
    const QString text = runExchange(session, query);
    QCOMPARE(text, shown);
    QCOMPARE(session.state(), WhoisSession::State::Done);
    QCOMPARE(queriesSeen(), QStringList{query});
}

void TestWhois::serverThatNeverClosesIsCutOff()
{
    WhoisSession session;
    QElapsedTimer clock;
    clock.start();
    const QString text = runExchange(session, QStringLiteral("hang"), 400);
    QVERIFY(clock.elapsed() >= 350);  // a coarse timer may fire a little early
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(session.state(), WhoisSession::State::Failed);
    QCOMPARE(session.socket().state(), int(SocketControl::Closed));
    QCOMPARE(text, QStringLiteral("first part only\n\n\n[The WHOIS server 127.0.0.1:%1 did not finish its answer "
                                  "within 0.4 seconds; the connection was closed.]")
                       .arg(m_server.port));
}

void TestWhois::refusedConnection()
{
    WhoisServer closed;
    closed.host = QStringLiteral("127.0.0.1");
    closed.port = unusedLocalPort();

    WhoisSession session;
    session.setTimeout(10000);
    QSignalSpy finished(&session, &WhoisSession::finished);
    session.start(closed, QStringLiteral("example.com"));
    QVERIFY(finished.wait(5000));
    const QString text = finished.first().first().toString();
    QVERIFY2(text.startsWith(QStringLiteral("Could not connect to the WHOIS server 127.0.0.1:%1: ").arg(closed.port)),
             qPrintable(text));
    QCOMPARE(session.state(), WhoisSession::State::Failed);
    QTest::qWait(50);
    QCOMPARE(finished.size(), 1);  // one ending only
}

void TestWhois::answerAboveLimitIsCut()
{
    WhoisSession session;
    const QString text = runExchange(session, QStringLiteral("big"));
    QCOMPARE(session.state(), WhoisSession::State::Done);
    QVERIFY(text.endsWith(WhoisAnswer::cutNote(WhoisAnswer::DefaultLimit)));
    const QString kept = text.chopped(WhoisAnswer::cutNote(WhoisAnswer::DefaultLimit).size());
    QCOMPARE(kept.size(), WhoisAnswer::DefaultLimit);
    QCOMPARE(kept.count(QLatin1Char('\n')), WhoisAnswer::DefaultLimit / 1024);
}

void TestWhois::closingTheSocketRaisesNoEvent()
{
    SocketControl socket;
    QSignalSpy connected(&socket, &SocketControl::connected);
    QSignalSpy closed(&socket, &SocketControl::closed);
    QSignalSpy failed(&socket, &SocketControl::error);
    socket.connectTo(m_server.host, m_server.port);
    QVERIFY(connected.wait(5000));
    socket.sendData("hang\r\n");
    QTRY_VERIFY(socket.bytesAvailable() > 0);
    socket.close();
    QCOMPARE(socket.state(), int(SocketControl::Closed));
    QTest::qWait(100);
    QCOMPARE(closed.size(), 0);
    QCOMPARE(failed.size(), 0);
}

QTEST_GUILESS_MAIN(TestWhois)
#include "tst_whois.moc"
