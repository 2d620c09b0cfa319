#pragma once

#include "core/Notifiers.h"
#include "notify/HttpExchange.h"
#include "notify/SecretMask.h"
#include "notify/WebRequest.h"

#include <QByteArray>
#include <QHash>
#include <QNetworkAccessManager>

#include <functional>

class NotificationHost;
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
/// masked. Redirects are followed, never from https to http, and never to another site while the request carries
/// a secret (a password in the URL, a secret filled in, an Authorization header). Only the start of the body is
/// read, and the whole exchange has a deadline. Only http and https URLs are hit.
///
/// The web requests beyond the first (send()) are sent the same way with their own method, headers and body, their
/// answers read by their preset, their status lines named ("Success: phone: ..."), their secret masked in any
/// encoding before anything is cut. An answer 429 or 503 with Retry-After tells the pending notice when to try
/// again (any entry).
class WebNotifier
{
public:
    static constexpr int DefaultTimeoutMs = 30000;    // for the whole exchange, redirects and body included
    static constexpr qint64 MaxBodyBytes = 64 * 1024; // the rest of a longer body is not fetched
    static constexpr qsizetype MaxReasonChars = 80;   // of an HTTP reason phrase shown

    explicit WebNotifier(NotificationHost& host);
    /// Requests in flight end here without a status or their @p done.
    ~WebNotifier();

    /// Starts the request and returns. @p done runs once, later (or at once when there is no URL to hit), with
    /// true only for a 2xx answer that is not a dynamic-DNS error. Several requests may be under way at once.
    void sendFirstUrl(Notifiers::Done done = {});
    /// Sends web request @p entry (WebEntries::First to Last) as sendFirstUrl sends the first.
    void send(int entry, Notifiers::Done done);
    /// Ends the requests under way: their @p done reports them given up, no status is shown.
    void abort();

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    struct Request
    {
        Notifiers::Done done;
        int entry = 0;
        QString name;                        // "" for the first, "<name>: " for the others
        const WebAnswerRule* rule = nullptr; // the preset's; none: the first's reading
        SecretMask mask;                     // what is masked wherever the answer is shown
        QString setsAddress;                 // the address a dynamic-DNS update sets ("": not one)
    };

    void sendFilled(int entry, const WebRequest& request, const QString& secret, Notifiers::Done done);
    QNetworkRequest prepared(const QUrl& url) const;
    void start(const QNetworkRequest& prepared, const QByteArray& verb, const QByteArray& body, bool carriesSecret,
               Request request);
    void finish(HttpExchange* exchange, const HttpExchange::Result& result);
    /// The status line for @p result, and whether it was a success.
    QString outcome(const HttpExchange::Result& result, const Request& request, bool* ok) const;

    NotificationHost& m_host;
    QNetworkAccessManager m_manager;
    QHash<HttpExchange*, Request> m_requests;
    int m_timeoutMs = DefaultTimeoutMs;
};
