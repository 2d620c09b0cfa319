#include "desktop/Form8.h"

#include "core/Settings.h"
#include "rtf/RtfReader.h"
#include "desktop/modOnTop.h"

#include <QCheckBox>
#include <QFile>
#include <QLoggingCategory>
#include <QTextBrowser>
#include <QTextCursor>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcHelp, "vistrel.desktop.help")

namespace {

constexpr qint64 MaxHelpFileSize = 4 * 1024 * 1024;

Qt::Alignment toQt(RtfAlignment alignment)
{
    switch (alignment) {
    case RtfAlignment::Center:
        return Qt::AlignHCenter;
    case RtfAlignment::Right:
        return Qt::AlignRight;
    case RtfAlignment::Justify:
        return Qt::AlignJustify;
    case RtfAlignment::Left:
        break;
    }
    return Qt::AlignLeft;
}

} // namespace

Form8::Form8(Settings& settings, QWidget* parent) : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("Readme/Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(686, 528);  // smaller on a smaller screen: see placeOnScreenOf()
    rtf1 = new QTextBrowser;
    rtf1->setObjectName(QStringLiteral("rtf1"));
    rtf1->setOpenLinks(false);
    rtf1->setAccessibleName(QStringLiteral("Help text"));
    Check1 = new QCheckBox(QStringLiteral("Show at Startup"));
    Check1->setObjectName(QStringLiteral("Check1"));
    connect(Check1, &QCheckBox::clicked, this, &Form8::Check1_Click);
    auto* column = new QVBoxLayout(this);
    column->addWidget(rtf1, 1);
    column->addWidget(Check1, 0, Qt::AlignLeft);
}

void Form8::Form_Load(const QString& helpFile)
{
    QFile file(helpFile);
    if (!file.open(QIODevice::ReadOnly)) {
        qCDebug(lcHelp) << "cannot read" << helpFile << file.errorString();
        rtf1->setPlainText(QStringLiteral("The help file %1 could not be read.").arg(helpFile));
    } else if (file.size() > MaxHelpFileSize) {
        rtf1->setPlainText(QStringLiteral("The help file %1 is too large to show.").arg(helpFile));
    } else {
        const RtfDocument document = RtfReader::read(file.read(MaxHelpFileSize));
        for (const QString& problem : document.problems)
            qCDebug(lcHelp) << helpFile << problem;
        showDocument(document, rtf1);
    }
    SetTopmost(this, true);
    Check1->setChecked(m_settings.readFlag(Key::ShowHelp));
}

void Form8::showDocument(const RtfDocument& document, QTextBrowser* browser)
{
    browser->clear();
    QTextCursor cursor(browser->document());
    const QFont base = browser->font();
    bool first = true;
    for (const RtfParagraph& paragraph : document.paragraphs) {
        QTextBlockFormat block;
        block.setAlignment(toQt(paragraph.alignment));
        if (first)
            cursor.setBlockFormat(block);
        else
            cursor.insertBlock(block);
        first = false;
        for (const RtfRun& run : paragraph.runs) {
            QTextCharFormat format;
            format.setFont(base);
            format.setFontWeight(run.bold ? QFont::Bold : QFont::Normal);
            format.setFontItalic(run.italic);
            format.setFontUnderline(run.underline);
            format.setFontPointSize(run.halfPoints / 2.0);
            cursor.insertText(run.text, format);
        }
    }
    browser->moveCursor(QTextCursor::Start);
}

void Form8::Check1_Click()
{
    m_settings.writeFlag(Key::ShowHelp, Check1->isChecked());
}
