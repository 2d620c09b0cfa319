#include "nettools/frmWhois.h"

#include "core/ProductInfo.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QStandardPaths>
#include <QVBoxLayout>

frmWhois::frmWhois(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmWhois"));
    setWindowTitle(QStringLiteral("WHOIS Information"));
    label1 = new QLabel;
    label1->setObjectName(QStringLiteral("label1"));
    label1->setTextFormat(Qt::PlainText);
    text1 = new QPlainTextEdit;
    text1->setObjectName(QStringLiteral("text1"));
    text1->setReadOnly(true);
    text1->setAccessibleName(QStringLiteral("WHOIS answer"));
    // WHOIS answers line their columns up with blanks.
    text1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    label1->setBuddy(text1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label1);
    layout->addWidget(text1);
    resize(640, 420);
    connect(&m_lookup, &WhoisLookup::finished, this, &frmWhois::showAnswer);
    connect(&m_lookup, &WhoisLookup::serverTextChanged, label1, &QLabel::setText);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this, &QWidget::close);
}

void frmWhois::Form_Load(const QString& query)
{
    text1->clear();
    label1->clear();
    // The registries refreshed from IANA are kept with the program's other data.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u'/' +
                          LoadProductInfo().productName + QStringLiteral("/rdap");
    WhoisLookup::Options options;
    QString error;
    if (!WhoisLookup::fromEnvironment(cache, &options, &error)) {
        showAnswer(QStringLiteral("No WHOIS server to ask: ") + error);
        return;
    }
    options.caCertificates = m_lookup.options().caCertificates;
    m_lookup.setOptions(options);
    m_lookup.start(query);
}

QString frmWhois::answerText() const
{
    return text1->toPlainText();
}

QString frmWhois::serverText() const
{
    return label1->text();
}

void frmWhois::showAnswer(const QString& text)
{
    text1->setPlainText(text);
}
