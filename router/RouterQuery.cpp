#include "router/RouterQuery.h"

#include "platform/DefaultGateway.h"

Q_LOGGING_CATEGORY(lcRouter, "vistrel.router", QtInfoMsg)

RouterQuery::RouterQuery(QObject* parent) : QObject(parent), m_gateway(&defaultGatewayIPv4)
{
    connect(&m_natPmp, &NatPmpQuery::finished, this, &RouterQuery::answered);
    connect(&m_upnp, &IgdQuery::finished, this, &RouterQuery::answered);
}

void RouterQuery::start()
{
    cancel();
    const QHostAddress gateway = m_gateway();
    qCDebug(lcRouter) << "asking the gateway" << gateway;
    m_done = false;
    // Either may finish at once (no gateway, no socket): the answer waits until both have started.
    m_starting = true;
    m_natPmp.start(gateway, NatPmpTimeoutMs);
    if (!m_done)
        m_upnp.start(gateway, UpnpTimeoutMs);
    m_starting = false;
    if (!m_done && !m_natPmp.isRunning() && !m_upnp.isRunning())
        answered({});
}

void RouterQuery::answered(const RouterAnswer& answer)
{
    if (m_done)
        return;
    if (answer.kind == RouterAnswer::Kind::None && (m_starting || m_natPmp.isRunning() || m_upnp.isRunning()))
        return;
    m_done = true;
    m_natPmp.cancel();
    m_upnp.cancel();
    if (answer.kind != RouterAnswer::Kind::None)
        qCDebug(lcRouter) << "the gateway answered by" << answer.method << answer.address;
    emit finished(answer);
}

void RouterQuery::cancel()
{
    m_done = true;
    m_natPmp.cancel();
    m_upnp.cancel();
}
