#pragma once

#include "nettools/WhoisSession.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;

/// The "WHOIS Information" window: asks the WHOIS server for each query it is given and shows the whole answer
/// (or what went wrong) when the exchange ends, under a line that names the server that answered.
class frmWhois : public QWidget
{
    Q_OBJECT
public:
    explicit frmWhois(QWidget* parent = nullptr);

    /// Starts the look-up for @p query; one under way is dropped.
    void Form_Load(const QString& query);
    WhoisSession& session() { return m_session; }
    QString answerText() const;
    /// "Asking <server>…", "Answer from <server>" or "No complete answer from <server>".
    QString serverText() const;

private:
    void showAnswer(const QString& text);

    WhoisSession m_session;
    QLabel* label1 = nullptr;
    QPlainTextEdit* text1 = nullptr;
};
