// Names from a hosts file of the test's own (Linux: a mount namespace where it stands for /etc/hosts).
#include "nettools/clsIPResolve.h"

#include <QtTest>

class TestHostsFile : public QObject
{
    Q_OBJECT
private slots:
    void hostsFileNames_data()
    {
        QTest::addColumn<QString>("text");  // an address is looked up backwards
        QTest::addColumn<QString>("result");
        QTest::newRow("name to address") << "alias77" << "127.0.0.77";
        QTest::newRow("address to official name") << "127.0.0.77" << "vistrel-test.example";
        QTest::newRow("name of 300 letters cut to 255") << "127.0.0.78" << QString(255, 'a');
        QTest::newRow("address without a name") << "127.0.0.99" << "";
    }

    void hostsFileNames()
    {
        QFETCH(QString, text);
        QFETCH(QString, result);
        QTemporaryDir dir;
        QProcess probe;  // this program again (see main()), with a hosts file of the test's own and DNS switched off
        probe.setWorkingDirectory(dir.path());
        probe.start("unshare", {"-m", "--propagation", "private", "sh", "-c",
                                "printf '127.0.0.77 vistrel-test.example alias77\\n127.0.0.78 %s\\n' \"$1\" >hosts && "
                                "echo 'hosts: files' >ns && mount --bind hosts /etc/hosts && mount --bind ns "
                                "/etc/nsswitch.conf && exec \"$2\" --probe \"$3\"",
                                "sh", QString(300, 'a'), QCoreApplication::applicationFilePath(), text});
        QVERIFY(probe.waitForFinished(20000));
        if (probe.exitCode() != 0)
            QSKIP(qPrintable("no mount namespace of the test's own here: " + probe.readAllStandardError()));
        QCOMPARE(QString::fromUtf8(probe.readAllStandardOutput()), result + '\n');
    }
};

int main(int argc, char* argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--probe") == 0) {  // hostsFileNames runs this inside its namespace
        const clsIPResolve resolver;
        const QString text = QString::fromUtf8(argv[2]);
        QTextStream(stdout) << (clsIPResolve::IsIPAddress(text) ? resolver.AddressToName(text)
                                                                : resolver.NameToAddress(text)) << '\n';
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestHostsFile test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hostsfile.moc"
