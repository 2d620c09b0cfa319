// Address body rules beyond tst_discovery's, and HTTP GET against the fault peer. Requests to nginx: tst_form1.
#include "PeerProcess.h"
#include "discovery/AddressBody.h"
#include "platform/HttpGet.h"

#include <QtTest>

class TestHttpGet : public QObject
{
    Q_OBJECT
private slots:
    void bodyYieldsAddressOrFailure_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("address");  // empty: the lookup fails
        QTest::newRow("IPv6") << QByteArray("2001:db8::42\n") << QStringLiteral("2001:db8::42");
        QTest::newRow("part too large") << QByteArray("256.1.1.1") << QString();
        QTest::newRow("hex part") << QByteArray("0x7f.0.0.1") << QString();
        QTest::newRow("two lines") << QByteArray("1.2.3.4\n5.6.7.8") << QString();
        QTest::newRow("colons only") << QByteArray(":::::") << QString();
        QTest::newRow("NUL inside") << QByteArray("1.2.3.4\0", 8) << QString();
    }

    void bodyYieldsAddressOrFailure()
    {
        QFETCH(QByteArray, body);
        QTEST(externalAddressFromBody(body).value_or(QString()), "address");
    }

    void getEndsInTimeWithTheBodyOrNothing_data()
    {
        QTest::addColumn<QString>("step");  // how the fault peer answers; empty: @c url is fetched instead
        QTest::addColumn<QString>("url");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("slow answer within the time-out") << "slow:2" << QString() << QByteArray("203.0.113.1");
        QTest::newRow("error status is a body") << "status:503" << QString() << QByteArray("203.0.113.1");
        QTest::newRow("10 MiB cut at 1 MiB") << "big" << QString() << QByteArray(HttpGet::MaxBodyBytes, 'x');
        QTest::newRow("hang ends at a 700 ms time-out") << "hang" << QString() << QByteArray();
        QTest::newRow("redirect loop") << "redirect" << QString() << QByteArray();
        QTest::newRow("refused") << "refuse" << QString() << QByteArray();
        QTest::newRow("not a URL") << QString() << "not a url at all" << QByteArray();
        QTest::newRow("file URL") << QString() << "file:///etc/hostname" << QByteArray();
    }

    void getEndsInTimeWithTheBodyOrNothing()
    {
        QFETCH(QString, step);
        QFETCH(QString, url);
        PeerProcess peer;
        QString error;
        if (!step.isEmpty()) {
            QVERIFY2(peer.start("chaos_address_peer.py", {"--step", step}, &error), qPrintable(error));
            url = QStringLiteral("http://127.0.0.1:%1/extras/GetExternalIP.asp").arg(peer.port());
        }
        HttpGet http;
        if (step == u"hang")
            http.setTimeoutMs(700);
        const QDeadlineTimer limit(10000);
        QTEST(http.getURLText(QUrl(url)), "body");
        QVERIFY(!limit.hasExpired());
    }
};

QTEST_GUILESS_MAIN(TestHttpGet)
#include "tst_httpget.moc"
