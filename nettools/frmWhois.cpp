#include "nettools/frmWhois.h"

#include "nettools/WhoisServer.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
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
    connect(&m_session, &WhoisSession::finished, this, &frmWhois::showAnswer);
}

void frmWhois::Form_Load(const QString& query)
{
    text1->clear();
    label1->clear();
    WhoisServer server;
    QString error;
    if (!WhoisServer::fromEnvironment(&server, &error)) {
        showAnswer(QStringLiteral("No WHOIS server to ask: ") + error);
        return;
    }
    m_session.start(server, query);
    label1->setText(QStringLiteral("Asking %1\u2026").arg(m_session.serverName()));
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
    if (m_session.state() == WhoisSession::State::Done)
        label1->setText(QStringLiteral("Answer from ") + m_session.serverName());
    else if (m_session.state() == WhoisSession::State::Failed)
        label1->setText(QStringLiteral("No complete answer from ") + m_session.serverName());
    text1->setPlainText(text);
}
