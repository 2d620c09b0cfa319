#pragma once

#include "nettools/WhoisSession.h"

#include <QWidget>

class QPlainTextEdit;

/// The "WHOIS Information" window: asks the WHOIS server once when it loads and shows the whole
/// answer (or what went wrong) when the exchange ends.
class frmWhois : public QWidget
{
    Q_OBJECT
public:
    explicit frmWhois(QWidget* parent = nullptr);

    /// Starts the one look-up of this window for @p query.
    void Form_Load(const QString& query);
    WhoisSession& session() { return m_session; }
    QString answerText() const;

private:
    void showAnswer(const QString& text);

    WhoisSession m_session;
    QPlainTextEdit* text1 = nullptr;
};
