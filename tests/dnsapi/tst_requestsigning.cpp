// The request signature the Route 53 provider sends, against vectors of AWS's published Signature Version 4 test
// suite (credentials AKIDEXAMPLE, 20150830T123600Z, us-east-1, service "service"; docs.aws.amazon.com/general/
// latest/gr/signature-v4-test-suite.html): a wrong canonical path, query order, header list or key shows here.
#include "dnsapi/AwsSignature.h"

#include <QtTest>

class TestRequestSigning : public QObject
{
    Q_OBJECT
private slots:
    void awsSuite_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QByteArray>("contentType"); // signed when given
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("expected"); // "<signed headers>, Signature=<hex>"
        QTest::newRow("get-vanilla") << QByteArray("GET") << "https://example.amazonaws.com/" << QByteArray()
                                     << QByteArray()
                                     << QByteArray("host;x-amz-date, Signature="
                                                   "5fa00fa31553b73ebf1942676e86291e8372ff2a2260956d9b8aae1d763fbf31");
        QTest::newRow("get-vanilla-query-order-key-case")
            << QByteArray("GET") << "https://example.amazonaws.com/?Param2=value2&Param1=value1" << QByteArray()
            << QByteArray()
            << QByteArray(
                   "host;x-amz-date, Signature=b97d918cfa904a5beff61c982a1b6f458b799221646efd99d3219ec94cdf2500");
        QTest::newRow("post-x-www-form-urlencoded")
            << QByteArray("POST") << "https://example.amazonaws.com/" << QByteArray("application/x-www-form-urlencoded")
            << QByteArray("Param1=value1")
            << QByteArray("content-type;host;x-amz-date, "
                          "Signature=ff11897932ad3f4e8b18135d722051e5ac45fc38421b1da7b9d196a0fe09473a");
    }

    void awsSuite()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, url);
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, expected);
        const QDateTime time(QDate(2015, 8, 30), QTime(12, 36), Qt::UTC);
        QCOMPARE(AwsSignature::amzDate(time), QByteArray("20150830T123600Z"));
        AwsSignature::Headers headers;
        if (!contentType.isEmpty())
            headers.append({"Content-Type", contentType});
        const AwsSignature::Credentials credentials{"AKIDEXAMPLE", "wJalrXUtnFEMI/K7MDENG+bPxRfiCYEXAMPLEKEY",
                                                    "us-east-1", "service"};
        QCOMPARE(AwsSignature::authorization(credentials, method, QUrl(url), body, time, headers),
                 "AWS4-HMAC-SHA256 Credential=AKIDEXAMPLE/20150830/us-east-1/service/aws4_request, SignedHeaders=" +
                     expected);
    }
};

QTEST_GUILESS_MAIN(TestRequestSigning)
#include "tst_requestsigning.moc"
