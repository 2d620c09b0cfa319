#pragma once

#include <QAbstractSocket>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <optional>

/// One place that can tell this machine's public address.
class AddressSource : public QObject
{
    Q_OBJECT
public:
    explicit AddressSource(QString uri, QObject* parent = nullptr);
    const QString& uri() const;
    /// Starts one query bounded by @p timeoutMs. Ends with exactly one answered() or failed(), never emitted
    /// from inside start() itself. A second start() while one runs restarts it.
    virtual void start(int timeoutMs) = 0;
    /// Stops the query; no signal comes after this.
    virtual void cancel() = 0;

    /// The address family the answer is wanted in; sources that resolve a host name prefer it.
    /// AnyIPProtocol (the default) takes whatever comes.
    void setAddressFamily(QAbstractSocket::NetworkLayerProtocol family) { m_family = family; }
    QAbstractSocket::NetworkLayerProtocol addressFamily() const { return m_family; }
    /// Whether the server sent anything back: a failure after a reply is a bad answer, not an unreachable server.
    bool hasReplied() const { return m_replied; }
    /// After failed(): the HTTP status (429, 403) with which the server refused to answer this client, else 0; and
    /// the wait it asked for (its Retry-After), when it sent one it means.
    int refusalStatus() const { return m_refusalStatus; }
    std::optional<qint64> retryAfterMs() const { return m_retryAfterMs; }

signals:
    void answered(const QHostAddress& address);
    void failed(const QString& reason);

protected:
    void markReplied() { m_replied = true; }
    void markRefused(int status, std::optional<qint64> retryAfterMs)
    {
        m_refusalStatus = status;
        m_retryAfterMs = retryAfterMs;
    }
    // One query's life, for the sources that may end inside a library's callback: it runs from beginQuery() until
    // finishLater() or abandonQuery().
    void beginQuery() { m_running = true; }
    bool isQueryRunning() const { return m_running; }
    /// Cancels the running query; an answer finishLater() queued is dropped.
    void abandonQuery();
    /// Changes with every abandonQuery(): a callback that carries an older value belongs to an abandoned query.
    quint64 queryGeneration() const { return m_generation; }
    /// Ends the running query (nothing when none runs): haltQuery() at once; then from the event loop, unless the
    /// query was abandoned meanwhile, releaseQuery() and answered() (@p ok) or failed().
    void finishLater(bool ok, const QHostAddress& address, const QString& reason);
    /// Stops what the query has under way (timers, sockets, lookups).
    virtual void haltQuery() {}
    /// Frees what the callback that ended the query may still be using.
    virtual void releaseQuery() {}

private:
    QString m_uri;
    quint64 m_generation = 0;
    bool m_running = false;
    bool m_replied = false;
    int m_refusalStatus = 0;
    std::optional<qint64> m_retryAfterMs;
    QAbstractSocket::NetworkLayerProtocol m_family = QAbstractSocket::AnyIPProtocol;
};
