#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QUrl>

/// HTTP GET of a whole response body, waiting in a local event loop so that the windows stay live
/// and the processor stays idle while the server answers.
///
/// The request always goes to the server (no caches), names the agent "Mozilla", and asks caches on
/// the way not to answer: `Cache-Control: no-cache`, `Pragma: no-cache`. Only http and https are
/// fetched. Status codes are not looked at: an error page is a body like any other.
class HttpGet : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultTimeoutMs = 30000;   // a transfer that stalls this long ends
    static constexpr qint64 MaxBodyBytes = 1 << 20;  // a longer body is cut here
    static constexpr qint64 ReadBufferBytes = 64 * 1024;

    explicit HttpGet(QObject* parent = nullptr);

    /// The body of the response to a GET of @p url, or an empty array when no connection or request
    /// could be made. Pending events run while it waits, so other handlers may run inside this call.
    QByteArray getURLText(const QUrl& url);

    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

private:
    QNetworkAccessManager m_manager;
    int m_timeoutMs = DefaultTimeoutMs;
};
