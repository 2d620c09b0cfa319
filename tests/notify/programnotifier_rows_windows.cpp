// The argument texts of tst_programnotifier read by Windows' rules for a command line's arguments.
#include <QtTest>

void addPlatformRows()
{
    QTest::newRow("addresses, quotes and backslashes")
        << "@"
        << "--in\t$Internal$ \"$EXTERNAL$ \\\"x\\\\\" C:\\Users\\me\\ip.txt 'a b' \"\" \"open"
        << QStringList{"--in", "192.168.1.20", "203.0.113.7 \"x\\", "C:\\Users\\me\\ip.txt", "'a", "b'", "", "open"};
}
