#pragma once

#include "core/Notifiers.h"
#include "notify/KindNotifier.h"
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

/// The values a web request's placeholders stand for, @p addresses with @p secret.
WebValues noticeWebValues(const NoticeAddresses& addresses, const QString& secret);

/// The same with the addresses @p host shows now.
WebValues hostWebValues(NotificationHost& host, const QString& secret);

/// The URL of the web notification (or @p url in its place) with @p addresses filled in (unmasked: for the request
/// only).
QString webNotificationUrl(NotificationHost& host, const NoticeAddresses& addresses, const QString& url = {});
/// The same with the addresses @p host shows now.
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
///
/// A ping (NoticeSend::pingUrl) is the entry's request sent to another URL after a lookup; it writes the status line
/// only when it failed.
class WebNotifier : public KindNotifier
{
public:
    static constexpr int DefaultTimeoutMs = 30000;    // for the whole exchange, redirects and body included
    static constexpr qint64 MaxBodyBytes = 64 * 1024; // the rest of a longer body is not fetched
    static constexpr qsizetype MaxReasonChars = 80;   // of an HTTP reason phrase shown

    explicit WebNotifier(NotificationHost& host);
    /// Requests in flight end here without a status or their @p done.
    ~WebNotifier() override;

    /// Named "Web" for the first URL, a web request's own name (or "web request <n>") for the others; several at
    /// once, past the exchange's own limit (which says which part of the answer did not come).
    Traits traits(int entry) const override;
    /// The web requests beyond the first that are switched on, and those that are damaged: they fail when sent,
    /// saying why, rather than being passed over in silence.
    QList<int> moreEntries() const override;
    /// Entries that ping after lookups go only then (WebEntries::sends).
    bool sendsOnChange(int entry) const override;
    /// A web request's name (see traits).
    QString name(int entry) const;
    /// A dynamic-DNS update sets the external address: not sent again while it is the one the last success set.
    NoticeSetting setting(const NoticeSend& send) const override;
    QString lastSetting(int entry) const override;
    void rememberSetting(int entry, const QString& remembered) override;
    /// Starts the request of entry @p send.entry and returns. @p done runs once, later (or at once when there is no
    /// URL to hit), delivered only for a 2xx answer that is not a dynamic-DNS error. Several requests may be under
    /// way at once.
    void send(const NoticeSend& send, Notifiers::Done done) override;
    /// Ends request @p run: its @p done reports it given up, no status is shown.
    void abort(quint64 run) override;

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    struct Request
    {
        Notifiers::Done done;
        quint64 run = 0;
        int entry = 0;
        QString name;                        // "" for the first, "<name>: " for the others
        const WebAnswerRule* rule = nullptr; // the preset's; none: the first's reading
        SecretMask mask;                     // what is masked wherever the answer is shown
        bool ping = false;                   // a success is not shown
    };

    void sendFirstUrl(const NoticeSend& send, Notifiers::Done done);
    void sendEntry(const NoticeSend& send, Notifiers::Done done);
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
