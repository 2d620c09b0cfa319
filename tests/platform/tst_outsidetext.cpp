// Outside text made safe to show: one table over the three forms.
#include "platform/OutsideText.h"

#include <QtTest>

class TestOutsideText : public QObject
{
    Q_OBJECT
private slots:
    void clean_data()
    {
        QTest::addColumn<OutsideText::Form>("form");
        QTest::addColumn<QString>("text"); // as the UTF-8 decoder gives it: U+FFFD for invalid bytes
        QTest::addColumn<int>("maxChars");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char* name, OutsideText::Form form, const QString& text, int max,
                            const QString& shown) { QTest::newRow(name) << form << text << max << shown; };
        using F = OutsideText::Form;
        row("CSI, OSC title, C1, DEL, NUL", F::Line, u"550 \x1b]0;owned\x07\x1b[2Jno\x9b\x7f\0!"_qs, 200,
            "550 ]0;owned[2Jno!");
        row("bidi override, isolate, mark, zero width, tag", F::Line, u"ab\u202edc\u2066\u200f\u200b\U000E0001e"_qs,
            200, "abdce");
        row("invalid UTF-8, never Latin-1", F::Line, QString::fromUtf8("D\xc3\xa9j\xe0 \xc3("), 200,
            u"D\u00e9j\ufffd \ufffd("_qs);
        row("CR LF, lone CR, NEL, tab: one blank each", F::Line, u"\r\n 554-a\r\n\r\n554\tb\rc\x85g\u2028\r\n"_qs, 200,
            "554-a 554 b c g");
        row("long: 200 characters, the last an ellipsis", F::Line, QString(300, 'x'), 200,
            QString(199, 'x') + u'\u2026');
        row("exactly at the bound", F::Line, QString(200, 'x'), 200, QString(200, 'x'));
        row("cut never halves a character", F::Line, u"ab\U0001F600cd"_qs, 4, u"ab\u2026"_qs);
        row("first line with text", F::FirstLine, u" \r\n\x1b\r\n good 1\x1b[0m\nbad"_qs, 200, "good 1[0m");
        row("block keeps line breaks and tabs", F::Block, u"\ufeffa\r\nb\rc\nd\te\x1b[K\u202e"_qs, 200,
            "a\nb\nc\nd\te[K");
        row("block bounded in all", F::Block, "ab\ncd\nef", 5, u"ab\nc\u2026"_qs);
    }

    void clean()
    {
        QFETCH(OutsideText::Form, form);
        QFETCH(QString, text);
        QFETCH(int, maxChars);
        QTEST(OutsideText::clean(text, form, maxChars), "shown");
    }
};

QTEST_GUILESS_MAIN(TestOutsideText)
#include "tst_outsidetext.moc"
