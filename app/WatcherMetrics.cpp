#include "app/WatcherMetrics.h"

#include "app/WatcherNotifications.h"
#include "core/AddressWatcher.h"
#include "core/NotifierKinds.h"
#include "core/RouterCheck.h"
#include "core/Settings.h"

#include <QDateTime>

namespace {
using Type = MetricFamilies::Type;

/// A source as a label: its URI as shown, without a query (a token may stand there).
QString sourceLabel(const SourceOutcome& outcome)
{
    return outcome.uri.section(u'?', 0, 0);
}

QString outcomeLabel(const NotificationResult& result)
{
    switch (result.outcome) {
    case NotificationResult::Outcome::Delivered:
        return QStringLiteral("delivered");
    case NotificationResult::Outcome::Failed:
        return QStringLiteral("failed");
    case NotificationResult::Outcome::GivenUp:
        break;
    }
    return QStringLiteral("given_up");
}

void declare(MetricFamilies& families)
{
    families.declare("vistrel_build_info", Type::Gauge, "The program's version.");
    families.declare("vistrel_lookups_total", Type::Counter, "Lookups of the addresses, by outcome (ok, failed).");
    families.declare("vistrel_source_answers_total", Type::Counter,
                     "Answers of each address source, by outcome (ok: a public address; failed).");
    families.declare("vistrel_source_failures_total", Type::Counter,
                     "Failed answers of each address source (no answer, an error, no public address).");
    families.declare("vistrel_source_rests_total", Type::Counter,
                     "Lookups that passed a source over while its server rested after failures or a refusal.");
    families.declare("vistrel_source_answer_seconds", Type::Histogram, "How long each source took to answer.",
                     {0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10});
    families.declare("vistrel_notices_total", Type::Counter,
                     "Notices by kind and outcome (delivered, failed, given_up); the pings after lookups as kind "
                     "\"web ping\".");
    families.declare("vistrel_pending_notices", Type::Gauge, "Notices that failed and wait to be tried again.");
    families.declare("vistrel_address_last_change_timestamp_seconds", Type::Gauge,
                     "When each address last changed (Unix time), since the program started.");
    families.declare("vistrel_line_nat", Type::Gauge,
                     "The line as the router's WAN address shows it: 1 for its state (public, carrier-grade NAT, "
                     "second router).");
    families.declare("vistrel_carrier_grade_nat", Type::Gauge, "1 while the provider's NAT stands before the router.");
}

void setNat(MetricFamilies& families, RouterCheck::Nat nat)
{
    families.setOnly("vistrel_line_nat", {{"state", RouterCheck::historyName(nat)}});
    families.set("vistrel_carrier_grade_nat", {}, nat == RouterCheck::Nat::CarrierGrade ? 1 : 0);
}
} // namespace

WatcherMetrics::WatcherMetrics(AddressWatcher& watcher, WatcherNotifications& notifications)
    : m_server([this] { return m_families.text(); })
{
    MetricFamilies& families = m_families;
    declare(families);
    families.set("vistrel_build_info", {{"version", watcher.product().version()}}, 1);
    for (const char* outcome : {"ok", "failed"})
        families.add("vistrel_lookups_total", {{"outcome", QLatin1String(outcome)}}, 0);
    families.set("vistrel_pending_notices", {}, watcher.pendingNotices().count());
    setNat(families, RouterCheck::Nat(watcher.settings().readInt(Key::LineNat)));

    QObject::connect(&watcher, &AddressWatcher::lookupFinished, &watcher, [&families](bool ok) {
        families.add("vistrel_lookups_total", {{"outcome", ok ? QStringLiteral("ok") : QStringLiteral("failed")}});
    });
    QObject::connect(&watcher, &AddressWatcher::lookupObserved, &watcher,
                     [&families](const AddressObservation& observation) {
                         for (const LookupResult* result : {&observation.ipv4, &observation.ipv6}) {
                             for (const SourceOutcome& outcome : result->outcomes) {
                                 const MetricFamilies::Labels source{{"source", sourceLabel(outcome)}};
                                 if (outcome.resting)
                                     families.add("vistrel_source_rests_total", source);
                                 if (!outcome.ended)
                                     continue;
                                 families.add("vistrel_source_answers_total",
                                              source + MetricFamilies::Labels{
                                                           {"outcome", outcome.ok ? QStringLiteral("ok")
                                                                                  : QStringLiteral("failed")}});
                                 if (!outcome.ok)
                                     families.add("vistrel_source_failures_total", source);
                                 else
                                     families.observe("vistrel_source_answer_seconds", source,
                                                      double(outcome.answerMs) / 1000);
                             }
                         }
                     });
    QObject::connect(&watcher, &AddressWatcher::noticeResulted, &watcher,
                     [&families](Notifiers::Kind kind, const NotificationResult& result) {
                         families.add("vistrel_notices_total",
                                      {{"kind", QLatin1String(notifierKind(kind).statusName)},
                                       {"outcome", outcomeLabel(result)}});
                     });
    notifications.pings.setCounted([&families](const NotificationResult& result) {
        families.add("vistrel_notices_total", {{"kind", QStringLiteral("web ping")}, {"outcome", outcomeLabel(result)}});
    });
    QObject::connect(&watcher, &AddressWatcher::pendingChanged, &watcher, [&families, &watcher] {
        families.set("vistrel_pending_notices", {}, watcher.pendingNotices().count());
    });
    QObject::connect(&watcher, &AddressWatcher::addressesChanged, &watcher,
                     [&families](const QList<AddressChange>& changes) {
                         const double now = double(QDateTime::currentMSecsSinceEpoch()) / 1000;
                         for (const AddressChange& change : changes)
                             families.set("vistrel_address_last_change_timestamp_seconds",
                                          {{"address", change.name.toLower()}}, now);
                     });
    QObject::connect(&watcher, &AddressWatcher::natChanged, &watcher,
                     [&families](RouterCheck::Nat, RouterCheck::Nat after, const QString&) { setNat(families, after); });
}

bool WatcherMetrics::listen(const QString& listen, QString* error)
{
    QHostAddress address;
    quint16 port = 0;
    return MetricsServer::parseListen(listen, &address, &port, error) && m_server.listen(address, port, error);
}
