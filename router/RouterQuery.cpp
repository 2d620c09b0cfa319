#include "router/RouterQuery.h"

#include "platform/DefaultGateway.h"

Q_LOGGING_CATEGORY(lcRouter, "vistrel.router", QtInfoMsg)

RouterQuery::RouterQuery(QObject* parent) : QObject(parent), m_gateway(&defaultGatewayIPv4)
{
    connect(&m_pcp, &PcpQuery::finished, this, &RouterQuery::answered);
    connect(&m_pcp, &PcpQuery::natPmpAsked, this, [this](int remainingMs) { m_natPmp.start(m_asked, remainingMs); });
    connect(&m_natPmp, &NatPmpQuery::finished, this, &RouterQuery::answered);
    connect(&m_upnp, &IgdQuery::finished, this, &RouterQuery::answered);
}

void RouterQuery::start()
{
    cancel();
    const QHostAddress gateway = m_gateway();
    m_asked = gateway;
    qCDebug(lcRouter) << "asking the gateway" << gateway;
    m_done = false;
    m_bad = {};
    // Any may finish at once (no gateway, no socket): the answer waits until PCP and UPnP have started.
    m_starting = true;
    m_pcp.start(gateway, NatPmpTimeoutMs);
    if (!m_done)
        m_upnp.start(gateway, UpnpTimeoutMs);
    m_starting = false;
    if (!m_done && !isRunning())
        answered({});
}

void RouterQuery::answered(const RouterAnswer& answer)
{
    if (m_done)
        return;
    const bool told = answer.kind == RouterAnswer::Kind::Address || answer.kind == RouterAnswer::Kind::Withheld;
    if (!told) {
        if (answer.kind == RouterAnswer::Kind::Bad)
            m_bad = answer;
        if (isRunning())
            return;
    }
    cancel();
    const RouterAnswer result = told ? answer : m_bad;
    if (result.kind != RouterAnswer::Kind::None)
        qCDebug(lcRouter) << "the gateway answered by" << result.method << result.address << int(result.kind);
    emit finished(result);
}

void RouterQuery::cancel()
{
    m_done = true;
    m_pcp.cancel();
    m_natPmp.cancel();
    m_upnp.cancel();
}
