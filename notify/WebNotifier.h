#pragma once

#include "core/Notifiers.h"
#include "notify/WebRequest.h"

#include <QByteArray>
#include <QHash>
#include <QNetworkAccessManager>

#include <functional>

class NotificationHost;
class QNetworkReply;
class QNetworkRequest;
struct WebAnswerRule;

/// The values a web request's placeholders stand for, as @p host shows them now, with @p secret.
WebValues hostWebValues(NotificationHost& host, const QString& secret);

/// The URL of the web notification with the addresses of @p host filled in (unmasked: for the request only).
QString webNotificationUrl(NotificationHost& host);

/// The web notification: requests the configured URL with the addresses filled in and shows in the status line
/// what came of it: "Success: <first line of the body>" for a 2xx answer, "Error: HTTP <code> <reason>" for any
/// other status, "Error: <what happened>" when no answer came (no connection, unknown name, TLS, time-out), and
/// a dynamic-DNS answer word (badauth, nohost, ...) as the error it stands for. The URL is shown with its password
/// masked. Redirects are followed, never from https to http. Only the start of the body is read.
///
/// The web requests beyond the first (send()) are sent the same way with their own method, headers and body, their
/// answers read by their preset, their status lines named ("Success: phone: ..."), their secret masked. An answer
/// 429 or 503 with Retry-After tells the pending notice when to try again (any entry).
class WebNotifier
{
public:
    static constexpr int DefaultTimeoutMs = 30000;    // a transfer that stalls this long ends
    static constexpr int MaxRedirects = 5;            // a server sending the request round in a loop ends here
    static constexpr qint64 MaxBodyBytes = 64 * 1024; // the rest of a longer body is not fetched
    static constexpr qsizetype MaxReasonChars = 80;   // of an HTTP reason phrase shown

    explicit WebNotifier(NotificationHost& host);
    /// Requests in flight end here without a status or their @p done.
    ~WebNotifier();

    /// Starts the request and returns. @p done runs once, later (or at once when there is no URL to hit), with
    /// true only for a 2xx answer that is not a dynamic-DNS error. Several requests may be under way at once.
    void doHitURL(Notifiers::Done done = {});
    /// Sends web request @p entry (WebEntries::First to Last) as doHitURL sends the first.
    void send(int entry, Notifiers::Done done);
    /// Ends the requests under way: their @p done reports them given up, no status is shown.
    void abort();

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    struct Request
    {
        QByteArray body;
        bool full = false;      // the body reached MaxBodyBytes and the transfer was ended here
        bool cancelled = false; // abort() ended it
        Notifiers::Done done;
        int entry = 0;
        QString name;                        // "" for the first, "<name>: " for the others
        const WebAnswerRule* rule = nullptr; // the preset's; none: the first's reading
        QString secret;                      // masked wherever the answer is shown
        QString setsAddress;                 // the address a dynamic-DNS update sets ("": not one)
    };

    void sendFilled(int entry, const WebRequest& request, const QString& secret, Notifiers::Done done);
    QNetworkRequest prepared(const QUrl& url) const;
    void start(QNetworkReply* reply, Request request);
    void readBody(QNetworkReply* reply, Request& request);
    void finish(QNetworkReply* reply);
    /// The status line for the finished @p reply, and whether it was a success.
    QString outcome(QNetworkReply* reply, const Request& request, bool* ok) const;

    NotificationHost& m_host;
    QNetworkAccessManager m_manager;
    QHash<QNetworkReply*, Request> m_requests;
    int m_timeoutMs = DefaultTimeoutMs;
};
