#pragma once

#include "router/IgdXml.h"
#include "router/RouterAnswer.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUdpSocket>

class QNetworkReply;

/// Asks a gateway for its WAN address by UPnP: an SSDP search on the LAN, the description of the gateway that
/// answers, then GetExternalIPAddress on its WAN connection service. Every step is an event and every answer is read
/// with a bound, so nothing waits on the network; the whole exchange ends by its time-out.
class IgdQuery : public QObject
{
    Q_OBJECT
public:
    explicit IgdQuery(QObject* parent = nullptr);
    ~IgdQuery() override;

    /// Starts with an SSDP search that only @p gateway's answer ends; finished() comes once, at the latest after
    /// @p timeoutMs.
    void start(const QHostAddress& gateway, int timeoutMs);
    /// Ends the exchange without a finished().
    void cancel();
    bool isRunning() const { return m_running; }

signals:
    void finished(const RouterAnswer& answer);

private:
    void readDiscovery();
    void fetch(const QUrl& url, const QByteArray& soapAction, const QByteArray& body, qsizetype limit);
    bool readBody();
    void replied();
    void finish(const RouterAnswer& answer);

    enum class Step
    {
        Discovery,
        Description,
        Control,
    };
    Step m_step = Step::Discovery;
    QHostAddress m_gateway;
    QUrl m_location;
    QUdpSocket m_ssdp;
    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body; // what came of m_reply so far, never more than m_limit bytes
    qsizetype m_limit = 0;
    QTimer m_deadline;
    bool m_running = false;
};
