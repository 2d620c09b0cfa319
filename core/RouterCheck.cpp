#include "core/RouterCheck.h"

#include "core/Settings.h"
#include "discovery/PublicAddress.h"
#include "router/RouterQuery.h"

namespace {

// The shared address space of carrier-grade NAT (RFC 6598), told apart from the other addresses that are not public.
bool isSharedAddressSpace(const QHostAddress& address)
{
    return address.isInSubnet(QHostAddress(QStringLiteral("100.64.0.0")), 10);
}

} // namespace

RouterCheck::RouterCheck(Settings& settings, QObject* parent) : QObject(parent), m_settings(settings) {}

void RouterCheck::setQuery(RouterQuery* query)
{
    if (m_query)
        m_query->disconnect(this);
    m_query = query;
    if (m_query)
        connect(m_query, &RouterQuery::finished, this, &RouterCheck::routerDone);
}

void RouterCheck::start()
{
    m_answer.reset();
    m_agreed.reset();
    if (m_query)
        m_query->start();
}

void RouterCheck::cancel()
{
    if (m_query)
        m_query->cancel();
}

bool RouterCheck::isRunning() const
{
    return m_query && m_query->isRunning();
}

void RouterCheck::lookupEnded(const QString& agreedAddress)
{
    m_agreed = agreedAddress;
    compare();
}

void RouterCheck::routerDone(const RouterAnswer& answer)
{
    m_answer = answer;
    switch (answer.kind) {
    case RouterAnswer::Kind::None:
        m_shown = QStringLiteral("no answer");
        break;
    case RouterAnswer::Kind::Address:
        m_shown = QStringLiteral("%1 (%2)").arg(answer.address.toString(), answer.method);
        break;
    case RouterAnswer::Kind::Withheld:
        m_shown = QStringLiteral("no public address (%1)").arg(answer.method);
        break;
    case RouterAnswer::Kind::Bad:
        m_shown = QStringLiteral("answered badly (%1)").arg(answer.method);
        break;
    }
    emit answered(QStringLiteral("Router's WAN address: ") + m_shown);
    compare();
    emit finished();
}

void RouterCheck::compare()
{
    if (!m_answer || !m_agreed)
        return;
    const std::optional<Nat> nat = judge(*m_answer, *m_agreed);
    m_answer.reset(); // one comparison per round
    if (!nat)
        return;
    const Nat before = Nat(m_settings.readInt(Key::LineNat));
    if (*nat == before)
        return;
    // Not stored: told again at the next lookup rather than never.
    if (!m_settings.write(Key::LineNat, int(*nat)))
        return;
    emit natChanged(before, *nat, noticeText(*nat));
}

std::optional<RouterCheck::Nat> RouterCheck::judge(const RouterAnswer& answer, const QString& agreedAddress)
{
    switch (answer.kind) {
    case RouterAnswer::Kind::None:
    case RouterAnswer::Kind::Bad: // says nothing, least of all that the line changed
        return std::nullopt;
    case RouterAnswer::Kind::Withheld: // what routers behind the provider's NAT answer by default
        return Nat::CarrierGrade;
    case RouterAnswer::Kind::Address:
        break;
    }
    if (isSharedAddressSpace(answer.address))
        return Nat::CarrierGrade;
    if (!isPublicAddress(answer.address))
        return Nat::SecondRouter;
    if (agreedAddress.isEmpty())
        return std::nullopt;
    // A public WAN address that is not the one the internet sees: another NAT beyond the router.
    return QHostAddress(agreedAddress).isEqual(answer.address) ? Nat::None : Nat::CarrierGrade;
}

QString RouterCheck::noticeText(Nat nat)
{
    switch (nat) {
    case Nat::CarrierGrade:
        return QStringLiteral("Behind carrier-grade NAT: incoming connections cannot reach this line");
    case Nat::SecondRouter:
        return QStringLiteral("Behind a second router: incoming connections cannot reach this line");
    case Nat::None:
        break;
    }
    return QStringLiteral("The router's WAN address is the public address: incoming connections can reach this line");
}

QString RouterCheck::historyName(Nat nat)
{
    switch (nat) {
    case Nat::CarrierGrade:
        return QStringLiteral("carrier-grade NAT");
    case Nat::SecondRouter:
        return QStringLiteral("second router");
    case Nat::None:
        break;
    }
    return QStringLiteral("public");
}
