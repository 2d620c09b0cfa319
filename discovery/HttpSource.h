#pragma once

#include "discovery/AddressSource.h"

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QNetworkReply;

/// An http:// or https:// address service: one GET whose body must be one address (the strict body rule).
///
/// The request always goes to the network (no caches), names the agent "Mozilla" and asks caches on the way
/// not to answer. HTTPS certificates are verified; a TLS error is a failed source. The body is read as it
/// comes and the transfer is aborted once more has arrived than an address body can be.
class HttpSource : public AddressSource
{
    Q_OBJECT
public:
    /// More than this is read only to tell "too long" apart from a body that ends at the limit.
    static constexpr qint64 MaxReadBytes = 4096;

    explicit HttpSource(const QUrl& url, QString uri, QObject* parent = nullptr);
    ~HttpSource() override;
    void start(int timeoutMs) override;
    void cancel() override;

private:
    void onReadyRead();
    void onFinished();
    void fail(const QString& reason);

    QUrl m_url;
    QNetworkAccessManager* m_manager = nullptr;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    bool m_tooLong = false;
    QTimer m_timer;
};
