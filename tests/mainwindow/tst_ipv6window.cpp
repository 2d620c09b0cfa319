// The main window in the namespace of ipv6_renumber_test.py, run by it: the machine's own IPv6 lines as the system
// gives them. VISTREL_TEST_SETTINGS names the settings file; VISTREL_TEST_EXPECT is "STABLE PREFIX temporary|stable".
#include "core/AddressWatcher.h"
#include "core/Settings.h"
#include "mainwindow/Form1.h"

#include <QLabel>
#include <QtTest>

class TestIpv6Window : public QObject
{
    Q_OBJECT
private slots:
    void showsTheStableAddressAndThePrefix()
    {
        const QStringList expected = qEnvironmentVariable("VISTREL_TEST_EXPECT").split(u' ');
        QCOMPARE(expected.size(), 3);
        Settings settings(qEnvironmentVariable("VISTREL_TEST_SETTINGS"));
        AddressWatcher watcher(settings);
        Form1 form(watcher, settings);
        QSignalSpy done(&watcher, &AddressWatcher::cycleFinished);
        form.Form_Load();
        QVERIFY(done.wait(15000));
        const auto label = [&form](const char* name) { return form.findChild<QLabel*>(QLatin1String(name)); };
        QCOMPARE(label("lblIPv6Internal")->text(), expected[0]);
        QCOMPARE(label("lblIPv6Prefix")->text(), expected[1]);
        QVERIFY(label("lblIPv6Internal")->isVisibleTo(&form));
        QCOMPARE(label("lblIPv6Temporary")->isVisibleTo(&form), expected[2] == u"temporary");
    }
};

QTEST_MAIN(TestIpv6Window)
#include "tst_ipv6window.moc"
