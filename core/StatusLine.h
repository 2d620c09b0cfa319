#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

/// The status line, made in one place: a text, and where the text asks for it, what is pending after it
/// ("Finished looking up IPs (Mail notice pending, next try at 12:30:00)"). Every writer replaces the whole line.
class StatusLine : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    /// The line as @p text says.
    void show(const QString& text);
    /// @p text followed by @p pending (what is pending now, "" for nothing); it follows pendingChanged.
    void showWithPending(const QString& text, const QString& pending);
    /// What is pending changed: a line that tells it follows (a dropped notice is pending no more).
    void pendingChanged(const QString& pending);

    /// Something succeeded since: an error the line shows becomes "Earlier error (12:30): ...", with the time it
    /// was shown; any other line stays.
    void outdateError();

    const QString& text() const { return m_text; }

signals:
    void changed(const QString& text);

private:
    QString m_text;
    QString m_base; // the line before its "(... pending ...)" part; null when it has none
    QDateTime m_shownAt;
};
