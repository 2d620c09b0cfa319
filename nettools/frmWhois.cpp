#include "nettools/frmWhois.h"

#include "nettools/WhoisServer.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

frmWhois::frmWhois(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmWhois"));
    setWindowTitle(QStringLiteral("WHOIS Information"));
    text1 = new QPlainTextEdit;
    text1->setObjectName(QStringLiteral("text1"));
    text1->setReadOnly(true);
    text1->setAccessibleName(QStringLiteral("WHOIS answer"));
    // WHOIS answers line their columns up with blanks.
    text1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text1);
    resize(640, 420);
    connect(&m_session, &WhoisSession::finished, this, &frmWhois::showAnswer);
}

void frmWhois::Form_Load(const QString& query)
{
    text1->clear();
    WhoisServer server;
    QString error;
    if (!WhoisServer::fromEnvironment(&server, &error)) {
        showAnswer(QStringLiteral("No WHOIS server to ask: ") + error);
        return;
    }
    m_session.start(server, query);
}

QString frmWhois::answerText() const
{
    return text1->toPlainText();
}

void frmWhois::showAnswer(const QString& text)
{
    text1->setPlainText(text);
}
