// The program notification's argument text under Windows' rules, and what a program started with the words gets.
#include "platform/ArgumentWords.h"

#include <QProcess>
#include <QtTest>

#include <windows.h>

#include <shellapi.h>

#include <cstdio>

class TestArgumentWords : public QObject
{
    Q_OBJECT
private slots:
    void splits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("a path stays as written")
            << R"(C:\Users\me\ip.txt 203.0.113.7)" << QStringList{R"(C:\Users\me\ip.txt)", "203.0.113.7"};
        QTest::newRow("quotes keep blanks") << R"("C:\Program Files\log" --tag="home office")"
                                            << QStringList{R"(C:\Program Files\log)", "--tag=home office"};
        QTest::newRow("backslashes before a quote pair up")
            << R"(a\\\"b "end\\" c\\)" << QStringList{R"(a\"b)", R"(end\)", R"(c\\)"};
        QTest::newRow("empty quoted word, blanks around") << "  \"\"\t x " << QStringList{"", "x"};
        QTest::newRow("blank") << " \t " << QStringList{};
        QTest::newRow("not ASCII") << QString::fromUtf8("Grüße \"名前 x\"")
                                   << QStringList{QString::fromUtf8("Grüße"), QString::fromUtf8("名前 x")};
    }
    void splits()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, words);
        QStringList split;
        QString error;
        QVERIFY(splitArgumentText(text, &split, &error));
        QCOMPARE(split, words);

        // Started with them, a program reads the same words from its command line.
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--print-arguments")} + split);
        QVERIFY(child.waitForFinished(60000));
        const QByteArray printed = child.readAllStandardOutput();
        QCOMPARE(printed.isEmpty() ? QStringList{} : QString::fromUtf8(printed).split(QChar(0)).mid(1), words);
    }
};

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--print-arguments") == 0) {
        // As the system reads this process's command line; each word after the option follows a NUL.
        int count = 0;
        wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
        QByteArray out;
        for (int i = 2; i < count; ++i)
            out += '\0' + QString::fromWCharArray(arguments[i]).toUtf8();
        std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestArgumentWords test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_argumentwords.moc"
