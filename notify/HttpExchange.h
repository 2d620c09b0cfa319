#pragma once

#include "notify/SecretMask.h"

#include <QByteArray>
#include <QDateTime>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

/// One HTTP request and its answer, within bounds: a total deadline for the whole exchange (redirects and body
/// included) besides the idle one, a body read up to a size and no further, redirects decided one by one, the
/// request's secrets masked in all that comes back. Reports once, through its done, and deletes itself afterwards.
class HttpExchange : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxRedirects = 5; // a server sending the request round in a loop ends here

    enum class Redirects
    {
        None,   // a 3xx is the answer
        Follow, // followed, never from https to http, and to another origin only when the request carries no secret
    };
    struct Options
    {
        qint64 maxBodyBytes = 64 * 1024;
        int timeoutMs = 30000; // for the whole exchange, and for a transfer that stalls
        Redirects redirects = Redirects::None;
        bool carriesSecret = false; // an Authorization header, a password in the URL, a secret filled in anywhere
        SecretMask mask;
    };
    struct Result
    {
        bool cancelled = false; // abort() ended it
        bool answered = false;  // an HTTP answer came, whole or with its body cut at maxBodyBytes
        int status = 0;
        QByteArray reason;             // as sent (masked): the caller cleans it for showing
        QByteArray body;               // masked; at most maxBodyBytes
        bool cut = false;              // the body was longer than maxBodyBytes; the rest was not fetched
        QDateTime retryAfter;          // a 429 or 503 asked not to be asked again before this
        qint64 retryAfterSeconds = -1; // the same from now; -1: not asked
        bool timedOut = false;         // no whole answer came in time (failure says so too)
        QString failure;               // when no answer came: what happened, in plain words
    };
    using Done = std::function<void(const Result&)>;

    explicit HttpExchange(Options options);
    /// Sends @p request (its redirect policy and time-outs are set here) as @p verb with @p body; @p done runs
    /// once, later, with what came of it. Once only.
    void start(QNetworkAccessManager& manager, QNetworkRequest request, const QByteArray& verb, const QByteArray& body,
               Done done);
    /// Ends the exchange under way quietly: done does not run.
    ~HttpExchange() override;

    /// Ends the exchange: done runs at once with cancelled set.
    void abort();

private:
    void send();
    /// Whether the answer @p status of @p reply was a redirect that is followed (sent on); else it is the answer, or
    /// m_refused says why it was not followed.
    bool followed(QNetworkReply* reply, int status);
    void readBody();
    void finish();
    QString timeText() const;

    Options m_options;
    Done m_done;
    QNetworkAccessManager* m_manager = nullptr;
    QNetworkRequest m_request; // as it goes to where the last redirect pointed
    QByteArray m_verb;
    QByteArray m_sentBody;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    QByteArray m_body;
    QString m_refused; // why a redirect was not followed
    int m_redirects = 0;
    bool m_cut = false;
    bool m_timedOut = false;
    bool m_cancelled = false;
};
