#include "router/NatPmpQuery.h"

#include <QSocketNotifier>
#include <QtEndian>

#include <natpmp.h>

struct NatPmpQuery::Session
{
    natpmp_t natpmp{};
};

NatPmpQuery::NatPmpQuery(QObject* parent) : QObject(parent)
{
    m_retry.setSingleShot(true);
    m_deadline.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &NatPmpQuery::step);
    connect(&m_deadline, &QTimer::timeout, this, [this] { finish({}); });
}

NatPmpQuery::~NatPmpQuery()
{
    cancel();
}

void NatPmpQuery::start(const QHostAddress& gateway, int timeoutMs)
{
    cancel();
    bool isIPv4 = false;
    const quint32 address = gateway.toIPv4Address(&isIPv4);
    if (!isIPv4) {
        emit finished({});
        return;
    }
    m_session = std::make_unique<Session>();
    // The library connects its UDP socket to the gateway: answers from anyone else never reach it.
    if (initnatpmp(&m_session->natpmp, 1, qToBigEndian(address)) < 0) {
        m_session.reset();
        emit finished({});
        return;
    }
    m_running = true;
    m_deadline.start(timeoutMs);
    m_readable = std::make_unique<QSocketNotifier>(qintptr(m_session->natpmp.s), QSocketNotifier::Read);
    connect(m_readable.get(), &QSocketNotifier::activated, this, &NatPmpQuery::step);
    if (sendpublicaddressrequest(&m_session->natpmp) < 0)
        return finish({});
    step();
}

// Reads an answer if one came, or sends the request again when its retry time has come; the library's retry times
// double from 250 ms, so within the deadline it asks four times.
void NatPmpQuery::step()
{
    if (!m_running)
        return;
    natpmpresp_t response{};
    const int result = readnatpmpresponseorretry(&m_session->natpmp, &response);
    if (result == NATPMP_TRYAGAIN) {
        timeval wait{};
        if (getnatpmprequesttimeout(&m_session->natpmp, &wait) < 0)
            return finish({});
        m_retry.start(int(wait.tv_sec * 1000 + wait.tv_usec / 1000) + 1);
        return;
    }
    if (result == 0 && response.type == NATPMP_RESPTYPE_PUBLICADDRESS) {
        const quint32 address = qFromBigEndian(quint32(response.pnu.publicaddress.addr.s_addr));
        // An address of zero is no address: the router has none to give.
        if (address == 0)
            return finish({RouterAnswer::Kind::Withheld, {}, QStringLiteral("NAT-PMP")});
        return finish({RouterAnswer::Kind::Address, QHostAddress(address), QStringLiteral("NAT-PMP")});
    }
    // Result 3, "network failure": the router is not connected or has no public address to tell.
    if (result == NATPMP_ERR_NETWORKFAILURE)
        return finish({RouterAnswer::Kind::Withheld, {}, QStringLiteral("NAT-PMP")});
    qCDebug(lcRouter) << "NAT-PMP: no answer, code" << result;
    finish({});
}

void NatPmpQuery::finish(const RouterAnswer& answer)
{
    cancel();
    emit finished(answer);
}

void NatPmpQuery::cancel()
{
    m_running = false;
    m_retry.stop();
    m_deadline.stop();
    m_readable.reset();
    if (m_session) {
        closenatpmp(&m_session->natpmp);
        m_session.reset();
    }
}
