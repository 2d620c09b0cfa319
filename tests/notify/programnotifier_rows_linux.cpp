// The argument texts of tst_programnotifier read as a POSIX shell reads words.
#include <QtTest>

void addPlatformRows()
{
    QTest::newRow("addresses, quotes and escapes")
        << "@"
        << "--in\t$Internal$ \"$EXTERNAL$ \\\"x\\\\\" 'a\\b \"c\"' d\\ e \"\" \"\\$\\\ny\" $HOME; ''"
        << QStringList{"--in", "192.168.1.20", "203.0.113.7 \"x\\", "a\\b \"c\"", "d e", "", "$y", "$HOME;", ""};
    for (const char* broken : {"\"open", "'open", "x\\"})
        QTest::newRow(broken) << "@" << broken << QStringList{"Error: could not launch program"};
}
