// The argument texts of tst_programnotifier read as a POSIX shell reads words.
#include <QtTest>

void addPlatformRows()
{
    QTest::newRow("addresses, quotes and escapes")
        << "@"
        << "--in\t$Internal$ \"$EXTERNAL$ \\\"x\\\\\" 'a\\b \"c\"' d\\ e \"\" \"\\$\\\ny\" $HOME; ''"
        << QStringList{"--in", "192.168.1.20", "203.0.113.7 \"x\\", "a\\b \"c\"", "d e", "", "$y", "$HOME;", ""};
    for (const auto& [broken, why] : {std::pair{"\"open", "unterminated double quote"},
                                      std::pair{"'open", "unterminated single quote"},
                                      std::pair{"x\\", "backslash at the end"}})
        QTest::newRow(broken) << "@" << broken
                              << QStringList{QStringLiteral("Error: could not launch program: the arguments: ") + why};
}
