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
    m_bad = {};
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
    const bool told = answer.kind == RouterAnswer::Kind::Address || answer.kind == RouterAnswer::Kind::Withheld;
    if (!told) {
        if (answer.kind == RouterAnswer::Kind::Bad)
            m_bad = answer;
        if (m_starting || m_natPmp.isRunning() || m_upnp.isRunning())
            return;
    }
    m_done = true;
    m_natPmp.cancel();
    m_upnp.cancel();
    const RouterAnswer result = told ? answer : m_bad;
    if (result.kind != RouterAnswer::Kind::None)
        qCDebug(lcRouter) << "the gateway answered by" << result.method << result.address << int(result.kind);
    emit finished(result);
}

void RouterQuery::cancel()
{
    m_done = true;
    m_natPmp.cancel();
    m_upnp.cancel();
}
