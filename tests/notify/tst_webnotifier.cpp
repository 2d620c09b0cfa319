// The web notification against nginx: the request as logged, the placeholders, and a server that
// cannot be reached.
#include "NginxPeer.h"
#include "PeerProcess.h"
#include "TestNotificationHost.h"
#include "notify/WebNotifier.h"

#include <QtTest>

class TestWebNotifier : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void requests_data();
    void requests();
    void noUrl();
    void unreachableServerIsSuccessWithNothing();

private:
    NginxPeer m_nginx;
};

void TestWebNotifier::initTestCase()
{
    QString error;
    QVERIFY2(m_nginx.start(&error), qPrintable(error));
}

void TestWebNotifier::requests_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("loggedUri");
    QTest::newRow("both addresses") << "/hook/?i=$InternalIP$&e=$ExternalIP$"
                                    << "/hook/?i=192.168.1.20&e=203.0.113.7";
    QTest::newRow("small and capital letters") << "/hook/?i=$internalip$&e=$EXTERNALIP$&j=$iNtErNaLiP$"
                                               << "/hook/?i=192.168.1.20&e=203.0.113.7&j=192.168.1.20";
    QTest::newRow("program forms stay") << "/hook/?i=$Internal$&e=$External$" << "/hook/?i=$Internal$&e=$External$";
    QTest::newRow("in the path") << "/hook/$ExternalIP$" << "/hook/203.0.113.7";
}

void TestWebNotifier::requests()
{
    QFETCH(QString, path);
    QFETCH(QString, loggedUri);
    TestNotificationHost host;
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(m_nginx.port());
    host.notifySettings().url = base + path;
    const int before = m_nginx.accessLog().size();
    WebNotifier(host).doHitURL();
    const QString hit = base + QString(path)
                                   .replace(QLatin1String("$InternalIP$"), host.internal, Qt::CaseInsensitive)
                                   .replace(QLatin1String("$ExternalIP$"), host.external, Qt::CaseInsensitive);
    QCOMPARE(host.statuses, (QStringList{"Hitting " + hit, "Success: ok"}));
    QTRY_COMPARE(m_nginx.accessLog().size(), before + 1);
    QCOMPARE(m_nginx.accessLog().last().section(QLatin1Char('\t'), 0, 0), loggedUri);
}

void TestWebNotifier::noUrl()
{
    TestNotificationHost host;
    host.notifySettings().url.clear();
    const int before = m_nginx.accessLog().size();
    WebNotifier(host).doHitURL();
    QCOMPARE(host.statuses, QStringList{"Error: Please enter a URL to hit"});
    QTest::qWait(100);
    QCOMPARE(m_nginx.accessLog().size(), before);
}

void TestWebNotifier::unreachableServerIsSuccessWithNothing()
{
    TestNotificationHost host;
    host.notifySettings().url = QStringLiteral("http://127.0.0.1:%1/hook/$InternalIP$").arg(unusedLocalPort());
    WebNotifier(host).doHitURL();
    QCOMPARE(host.statuses.size(), 2);
    QCOMPARE(host.statuses.last(), QStringLiteral("Success: "));
}

QTEST_GUILESS_MAIN(TestWebNotifier)
#include "tst_webnotifier.moc"
