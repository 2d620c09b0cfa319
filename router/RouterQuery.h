#pragma once

#include "router/IgdQuery.h"
#include "router/NatPmpQuery.h"
#include "router/PcpQuery.h"
#include "router/RouterAnswer.h"

#include <QHostAddress>
#include <QObject>

#include <functional>

/// Asks the default gateway for its WAN address by PCP (NAT-PMP where it speaks only that) and by UPnP at once. The
/// first that tells an address, or says it has none to give, is the answer; when neither does by their time-outs, the
/// answer is a bad one if either answered badly, else nothing answered.
class RouterQuery : public QObject
{
    Q_OBJECT
public:
    /// For PCP and the NAT-PMP that may follow it.
    static constexpr int NatPmpTimeoutMs = 2000;
    static constexpr int UpnpTimeoutMs = 3000;

    explicit RouterQuery(QObject* parent = nullptr);

    /// Where the gateway's address comes from (the routing table by default).
    void setGatewaySource(std::function<QHostAddress()> source) { m_gateway = std::move(source); }

    /// Starts both queries (again); finished() comes once, at the latest after UpnpTimeoutMs.
    void start();
    /// Ends both without a finished().
    void cancel();
    bool isRunning() const { return m_pcp.isRunning() || m_natPmp.isRunning() || m_upnp.isRunning() || m_starting; }

signals:
    void finished(const RouterAnswer& answer);

private:
    void answered(const RouterAnswer& answer);

    PcpQuery m_pcp;
    NatPmpQuery m_natPmp;
    IgdQuery m_upnp;
    std::function<QHostAddress()> m_gateway;
    QHostAddress m_asked;
    RouterAnswer m_bad; // Kind::Bad once either answered badly this round
    bool m_starting = false;
    bool m_done = true;
};
