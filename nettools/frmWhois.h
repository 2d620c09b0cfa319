#pragma once

#include "nettools/WhoisLookup.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;

/// The "WHOIS Information" window: asks the server that holds the answer for each query it is given (RDAP, or
/// WHOIS with its referral) and shows the whole answer (or what went wrong) when it comes, under a line that names
/// the server that answered. Esc closes it.
class frmWhois : public QWidget
{
    Q_OBJECT
public:
    explicit frmWhois(QWidget* parent = nullptr);

    /// Starts the look-up for @p query; one under way is dropped.
    void Form_Load(const QString& query);
    WhoisLookup& lookup() { return m_lookup; }
    QString answerText() const;
    /// "Asking <server>…", "Answer from <server>" or "No complete answer from <server>".
    QString serverText() const;

private:
    void showAnswer(const QString& text);

    WhoisLookup m_lookup;
    QLabel* label1 = nullptr;
    QPlainTextEdit* text1 = nullptr;
};
