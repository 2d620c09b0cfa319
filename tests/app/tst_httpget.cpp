// HTTP GET against a real nginx on 127.0.0.1: bodies come back whole and unchanged, the request
// carries the agent and no-cache headers, failures give an empty body, and nothing waits forever.
#include "NginxPeer.h"
#include "platform/HttpGet.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QtTest>

class TestHttpGet : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void addressServiceAnswersTheCaller();
    void bodiesComeBackWhole_data();
    void bodiesComeBackWhole();
    void requestHeaders();
    void failuresGiveAnEmptyBody();
    void longBodiesAreCut();
    void silentServerTimesOut();

private:
    NginxPeer m_nginx;
    HttpGet m_http;
};

void TestHttpGet::initTestCase()
{
    QString error;
    QVERIFY2(m_nginx.start(&error), qPrintable(error));
}

void TestHttpGet::addressServiceAnswersTheCaller()
{
    QCOMPARE(m_http.getURLText(m_nginx.url(QStringLiteral("/extras/GetExternalIP.asp"))), QByteArray("127.0.0.1"));
}

void TestHttpGet::bodiesComeBackWhole_data()
{
    QTest::addColumn<QByteArray>("content");
    QByteArray b256(256, 'a');
    b256[255] = 'z';
    QByteArray b300(300, 'b');
    b300[299] = 'z';
    QTest::newRow("256 bytes") << b256;
    QTest::newRow("300 bytes") << b300;
    QTest::newRow("error text") << QByteArray("eRrOr: no address");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("HTML page") << QByteArray("<!DOCTYPE html><html><body><p>Sign in</p></body></html>\n");
    QTest::newRow("binary") << QByteArray("\x00\x01\xff\r\n\x80", 6);
}

void TestHttpGet::bodiesComeBackWhole()
{
    QFETCH(QByteArray, content);
    m_nginx.setBody(QStringLiteral("b"), content);
    const QByteArray body = m_http.getURLText(m_nginx.url(QStringLiteral("/body/b")));
    QCOMPARE(body.size(), content.size());
    QCOMPARE(body, content);
}

void TestHttpGet::requestHeaders()
{
    m_nginx.setBody(QStringLiteral("h"), "1.2.3.4");
    m_http.getURLText(m_nginx.url(QStringLiteral("/body/h?headers")));
    const QStringList log = m_nginx.accessLog();
    QVERIFY(!log.isEmpty());
    const QStringList fields = log.last().split(QLatin1Char('\t'));
    QCOMPARE(fields.size(), 4);
    QCOMPARE(fields.at(0), QStringLiteral("/body/h?headers"));
    QCOMPARE(fields.at(1), QStringLiteral("Mozilla"));
    QCOMPARE(fields.at(2), QStringLiteral("no-cache"));
    QCOMPARE(fields.at(3), QStringLiteral("no-cache"));
}

void TestHttpGet::failuresGiveAnEmptyBody()
{
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();  // nothing listens there now
    QCOMPARE(m_http.getURLText(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port))), QByteArray());
    QCOMPARE(m_http.getURLText(QUrl(QStringLiteral("not a url at all"))), QByteArray());
    QCOMPARE(m_http.getURLText(QUrl(QStringLiteral("file:///etc/hostname"))), QByteArray());
    QCOMPARE(m_http.getURLText(QUrl()), QByteArray());
    // An error page is a body like any other.
    QVERIFY(m_http.getURLText(m_nginx.url(QStringLiteral("/body/missing"))).contains("404"));
}

void TestHttpGet::longBodiesAreCut()
{
    m_nginx.setBody(QStringLiteral("big"), QByteArray(3 * HttpGet::MaxBodyBytes, 'x'));
    const QByteArray body = m_http.getURLText(m_nginx.url(QStringLiteral("/body/big")));
    QCOMPARE(body.size(), HttpGet::MaxBodyBytes);
}

void TestHttpGet::silentServerTimesOut()
{
    // Accepts the connection and never answers.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    HttpGet http;
    http.setTimeoutMs(700);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(http.getURLText(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(silent.serverPort()))), QByteArray());
    QVERIFY2(clock.elapsed() < 5000, "the time-out did not end the request");
}

QTEST_GUILESS_MAIN(TestHttpGet)
#include "tst_httpget.moc"
