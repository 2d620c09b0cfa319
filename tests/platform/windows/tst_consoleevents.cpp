// The console's Ctrl+C reaches the headless watcher as a request to end.
#include "platform/UnixSignals.h"

#include <QSignalSpy>
#include <QtTest>

#include <windows.h>

class TestConsoleEvents : public QObject
{
    Q_OBJECT
private slots:
    void ctrlCAsksToEnd()
    {
        if (!GetConsoleWindow())
            AllocConsole(); // the event goes to the processes of a console
        UnixSignals requests;
        QString error;
        QVERIFY2(requests.start(&error), qPrintable(error));
        QSignalSpy terminate(&requests, &UnixSignals::terminate);
        // Under Wine a console exists when the test runs on a terminal (script -qec ... /dev/null gives one).
        QVERIFY2(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0), "no console to send Ctrl+C through");
        QVERIFY(terminate.wait(10000));
    }
};

QTEST_GUILESS_MAIN(TestConsoleEvents)
#include "tst_consoleevents.moc"
