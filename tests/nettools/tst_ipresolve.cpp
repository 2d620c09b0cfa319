// The resolver against the system's own: what counts as an address, loopback both ways, names from a
// hosts file of the test's own (in a mount namespace of its own, with DNS switched off there), names
// longer than 255 characters, and the converter that runs look-ups off the caller's thread.
#include "nettools/DnsConverter.h"
#include "nettools/clsIPResolve.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

class TestIPResolve : public QObject
{
    Q_OBJECT
private slots:
    void isIPAddress_data();
    void isIPAddress();
    void trimAtNull_data();
    void trimAtNull();
    void loopbackBothWays_data();
    void loopbackBothWays();
    void notAnAddressGivesNothing_data();
    void notAnAddressGivesNothing();
    void hostsFileNames_data();
    void hostsFileNames();
    void nameWithSeveralAddressesGivesTheFirstOnly();
    void converterAnswersLaterOnTheCallersThread();

private:
    /// Runs the probe in a mount namespace whose /etc/hosts and /etc/nsswitch.conf are the test's.
    /// Returns false with @p why when the namespace cannot be made here.
    bool probeInNamespace(const QString& direction, const QString& text, QString* result, QString* why);

    QTemporaryDir m_dir;
};

void TestIPResolve::isIPAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("address");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("loopback") << "127.0.0.1" << true << QByteArray("\x7f\x00\x00\x01", 4);
    QTest::newRow("order of bytes as written") << "1.2.3.4" << true << QByteArray("\x01\x02\x03\x04", 4);
    QTest::newRow("lowest") << "0.0.0.0" << true << QByteArray(4, '\0');
    QTest::newRow("highest") << "255.255.255.255" << true << QByteArray(4, '\xff');
    QTest::newRow("leading zero is decimal") << "010.1.1.1" << true << QByteArray("\x0a\x01\x01\x01", 4);
    QTest::newRow("three parts") << "1.2.3" << false << QByteArray();
    QTest::newRow("five parts") << "1.2.3.4.5" << false << QByteArray();
    QTest::newRow("trailing dot") << "1.2.3.4." << false << QByteArray();
    QTest::newRow("part above 255") << "1.2.3.256" << false << QByteArray();
    QTest::newRow("first part above 255") << "256.0.0.1" << false << QByteArray();
    QTest::newRow("empty part") << "1.2..4" << false << QByteArray();
    QTest::newRow("empty") << "" << false << QByteArray();
    QTest::newRow("negative") << "-1.2.3.4" << false << QByteArray();
    QTest::newRow("plus sign") << "+1.2.3.4" << false << QByteArray();
    QTest::newRow("leading blank") << " 1.2.3.4" << false << QByteArray();
    QTest::newRow("trailing blank") << "1.2.3.4 " << false << QByteArray();
    QTest::newRow("hexadecimal") << "1.2.3.0x1" << false << QByteArray();
    QTest::newRow("four digits") << "0001.2.3.4" << false << QByteArray();
    QTest::newRow("letters") << "a.b.c.d" << false << QByteArray();
    QTest::newRow("fullwidth digit") << QString::fromUtf8("\xef\xbc\x91.2.3.4") << false << QByteArray();
    QTest::newRow("host name") << "localhost" << false << QByteArray();
}

void TestIPResolve::isIPAddress()
{
    QFETCH(QString, text);
    QFETCH(bool, address);
    QFETCH(QByteArray, bytes);
    QCOMPARE(clsIPResolve::IsIPAddress(text), address);
    const auto packed = clsIPResolve::IPToLong(text);
    QCOMPARE(packed.has_value(), address);
    if (packed)
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(packed->data()), 4), bytes);
}

void TestIPResolve::trimAtNull_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("plain") << QByteArray("host.example") << QByteArray("host.example");
    QTest::newRow("cut at NUL") << QByteArray("host\0garbage", 12) << QByteArray("host");
    QTest::newRow("255 kept") << QByteArray(255, 'a') << QByteArray(255, 'a');
    QTest::newRow("256 cut") << QByteArray(256, 'a') << QByteArray(255, 'a');
    QTest::newRow("NUL after 300") << QByteArray(300, 'b') + QByteArray(1, '\0') << QByteArray(255, 'b');
}

void TestIPResolve::trimAtNull()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, expected);
    QCOMPARE(clsIPResolve::TrimAtNull(name), expected);
}

void TestIPResolve::loopbackBothWays_data()
{
    QTest::addColumn<bool>("reverse");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("127.0.0.1 to name") << true << "127.0.0.1" << "localhost";
    QTest::newRow("localhost to address") << false << "localhost" << "127.0.0.1";
    QTest::newRow("numeric text goes to the forward look-up") << false << "127.0.0.1" << "127.0.0.1";
    QTest::newRow("empty name") << false << "" << "";
    QTest::newRow("name with NUL") << false << QStringLiteral("localhost") + QChar(0) + QStringLiteral("x") << "";
}

void TestIPResolve::loopbackBothWays()
{
    QFETCH(bool, reverse);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const clsIPResolve resolver;
    QCOMPARE(reverse ? resolver.AddressToName(text) : resolver.NameToAddress(text), expected);
}

void TestIPResolve::notAnAddressGivesNothing_data()
{
    QTest::addColumn<QString>("text");
    for (const char* text : {"1.2.3", "1.2.3.256", "1.2..4", "", "127.0.0.1.5", "localhost", "127.0.0.-1"})
        QTest::newRow(text) << QString::fromLatin1(text);
}

void TestIPResolve::notAnAddressGivesNothing()
{
    QFETCH(QString, text);
    QCOMPARE(clsIPResolve().AddressToName(text), QString());
    // The converter answers such text at once, before returning: no look-up was started for it.
    DnsConverter converter;
    bool answered = false;
    QString result = QStringLiteral("unset");
    converter.convert(DnsConverter::Direction::AddressToName, text, [&](const QString& r) {
        answered = true;
        result = r;
    });
    QVERIFY(answered);
    QCOMPARE(result, QString());
}

bool TestIPResolve::probeInNamespace(const QString& direction, const QString& text, QString* result, QString* why)
{
    const QString hosts = m_dir.filePath(QStringLiteral("hosts"));
    const QString nsswitch = m_dir.filePath(QStringLiteral("nsswitch.conf"));
    if (!QFile::exists(hosts)) {
        QFile h(hosts);
        if (!h.open(QIODevice::WriteOnly))
            return *why = QStringLiteral("cannot write %1").arg(hosts), false;
        h.write("127.0.0.1 localhost\n"
                "127.0.0.77 vistrel-test.example alias77\n"
                "127.0.0.78 " + QByteArray(300, 'a') + "\n"
                "127.0.0.81 vistrel-multi.example\n"
                "127.0.0.82 vistrel-multi.example\n");
        h.close();
        // Files only: a name the hosts file lacks must not become a question to a DNS server.
        QFile n(nsswitch);
        if (!n.open(QIODevice::WriteOnly))
            return *why = QStringLiteral("cannot write %1").arg(nsswitch), false;
        n.write("hosts: files\n");
    }
    QProcess process;
    process.start(QStringLiteral("unshare"),
                  {QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"), QStringLiteral("sh"),
                   QStringLiteral("-c"),
                   QStringLiteral("mount --bind \"$1\" /etc/hosts && mount --bind \"$2\" /etc/nsswitch.conf "
                                  "&& exec \"$3\" \"$4\" \"$5\""),
                   QStringLiteral("sh"), hosts, nsswitch, QStringLiteral(VISTREL_RESOLVE_PROBE), direction, text});
    if (!process.waitForFinished(20000)) {
        *why = QStringLiteral("unshare did not finish: ") + process.errorString();
        return false;
    }
    const QByteArray out = process.readAllStandardOutput().trimmed();
    if (process.exitCode() != 0 || !out.startsWith('[') || !out.endsWith(']')) {
        *why = QStringLiteral("cannot give the test a mount namespace with its own /etc/hosts (needs root or "
                              "CAP_SYS_ADMIN): ") + QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
        return false;
    }
    *result = QString::fromUtf8(out.mid(1, out.size() - 2));
    return true;
}

void TestIPResolve::hostsFileNames_data()
{
    QTest::addColumn<QString>("direction");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("name to address") << "forward" << "vistrel-test.example" << "127.0.0.77";
    QTest::newRow("alias to address") << "forward" << "alias77" << "127.0.0.77";
    QTest::newRow("address to official name") << "reverse" << "127.0.0.77" << "vistrel-test.example";
    QTest::newRow("name of 300 characters cut to 255") << "reverse" << "127.0.0.78" << QString(255, QLatin1Char('a'));
    QTest::newRow("unknown name") << "forward" << "nowhere.example" << "";
    QTest::newRow("address without name") << "reverse" << "127.0.0.99" << "";
}

void TestIPResolve::hostsFileNames()
{
    QFETCH(QString, direction);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QString result;
    QString why;
    if (!probeInNamespace(direction, text, &result, &why))
        QSKIP(qPrintable(why));
    QCOMPARE(result, expected);
}

void TestIPResolve::nameWithSeveralAddressesGivesTheFirstOnly()
{
    // Which of the two the system sorts first is its own affair; the answer is one address, not a list.
    QString result;
    QString why;
    if (!probeInNamespace(QStringLiteral("forward"), QStringLiteral("vistrel-multi.example"), &result, &why))
        QSKIP(qPrintable(why));
    QVERIFY2(result == QLatin1String("127.0.0.81") || result == QLatin1String("127.0.0.82"), qPrintable(result));
}

void TestIPResolve::converterAnswersLaterOnTheCallersThread()
{
    DnsConverter converter;
    QStringList results;
    QList<QThread*> threads;
    converter.convert(DnsConverter::Direction::AddressToName, QStringLiteral("127.0.0.1"), [&](const QString& r) {
        results << r;
        threads << QThread::currentThread();
    });
    QVERIFY(results.isEmpty());  // a look-up never answers inside the call
    QTRY_COMPARE(results, QStringList{QStringLiteral("localhost")});
    QCOMPARE(threads.first(), QThread::currentThread());

    // A result that was cancelled never arrives.
    results.clear();
    converter.convert(DnsConverter::Direction::NameToAddress, QStringLiteral("localhost"),
                      [&](const QString& r) { results << r; });
    converter.cancelAll();
    converter.convert(DnsConverter::Direction::NameToAddress, QStringLiteral("127.0.0.1"),
                      [&](const QString& r) { results << QStringLiteral("second ") + r; });
    QTRY_COMPARE(results, QStringList{QStringLiteral("second 127.0.0.1")});
    QTest::qWait(100);
    QCOMPARE(results.size(), 1);
}

QTEST_GUILESS_MAIN(TestIPResolve)
#include "tst_ipresolve.moc"
