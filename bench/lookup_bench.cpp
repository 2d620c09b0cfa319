// Measures the agreement lookup: the requests it sends and its time, hedged (quorum-many sources, one more when one
// is late) beside every source at once, over eight sources like the default IPv4 list, all healthy and with one of
// them answering 3 s late. The prompt sources answer after 50 ms, a network round trip; on loopback without it a
// lookup takes well under a millisecond and the ratio would measure only the set-up of the sources. The hedged
// lookups share one AddressLookup, so the hedge delay comes from the answer times as in the program.
#include "PeerProcess.h"
#include "discovery/AddressLookup.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QSysInfo>

#include <algorithm>
#include <cstdio>
#include <deque>

namespace {

constexpr int Quorum = 2;

struct Run
{
    QList<double> ms;
    int requests = 0; // the datagrams the peers received
    bool allAgreed = true;
    double meanRequests() const { return ms.isEmpty() ? 0 : double(requests) / ms.size(); }
    double median() const
    {
        QList<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted.isEmpty() ? 0 : sorted[sorted.size() / 2];
    }
    double longest() const { return ms.isEmpty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

void look(AddressLookup& lookup, const AddressLookup::Config& config, std::deque<PeerProcess>& peers, Run* run)
{
    QSignalSpy finished(&lookup, &AddressLookup::finished);
    QElapsedTimer clock;
    clock.start();
    lookup.start(config);
    finished.wait(config.totalTimeoutMs + 1000);
    run->ms << clock.nsecsElapsed() / 1e6;
    run->allAgreed &=
        !finished.isEmpty() && finished.first().first().value<LookupResult>().outcome == LookupResult::Outcome::Agreed;
    for (PeerProcess& peer : peers)
        run->requests += static_cast<int>(peer.readLines(5).filter("QUERY").size());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 40;
    // Agreement counts servers, so each source is a peer of its own; the last one is late.
    std::deque<PeerProcess> peers(9);
    QString error;
    for (PeerProcess& peer : peers) {
        const char* delay = &peer == &peers.back() ? "delay:3" : "delay:0.05";
        if (!peer.start("udp_fault_peer.py", {"--protocol", "dns", "--fault", delay, "--address", "203.0.113.7"},
                        &error)) {
            std::fprintf(stderr, "lookup_bench: %s\n", qPrintable(error));
            return 1;
        }
    }
    QStringList prompt;
    for (PeerProcess& peer : peers)
        prompt << QString("dns://127.0.0.1:%1/myip.test").arg(peer.port());
    const QString late = prompt.takeLast();
    AddressLookup hedgedLookup;
    AddressLookup allLookup;
    Run healthy, healthyAll, lateHedged, lateAll;
    AddressLookup::Config healthyConfig; // eight prompt sources
    healthyConfig.sources = prompt;
    healthyConfig.quorum = Quorum;
    AddressLookup::Config allConfig = healthyConfig;
    allConfig.hedgeDelayMs = 0;                       // every source at once, as the lookups asked before
    AddressLookup::Config lateConfig = healthyConfig; // seven of them and the late one
    lateConfig.sources.last() = late;
    AddressLookup::Config lateAllConfig = lateConfig;
    lateAllConfig.hedgeDelayMs = 0;
    for (int i = 0; i < rounds; ++i) {
        look(hedgedLookup, healthyConfig, peers, &healthy);
        look(allLookup, allConfig, peers, &healthyAll);
    }
    for (int i = 0; i < rounds; ++i) {
        look(hedgedLookup, lateConfig, peers, &lateHedged);
        look(allLookup, lateAllConfig, peers, &lateAll);
    }
    const double ratio = healthy.median() / healthyAll.median();
    const bool fewRequests = healthy.meanRequests() <= Quorum + 0.2;
    const bool notWaited = lateHedged.longest() < 3000;
    const bool agreed = healthy.allAgreed && healthyAll.allAgreed && lateHedged.allAgreed && lateAll.allAgreed;
    std::printf("lookup_bench %s on %s (%s), %d rounds each, quorum %d:\n",
                qPrintable(QDateTime::currentDateTimeUtc().toString(Qt::ISODate)),
                qPrintable(QSysInfo::machineHostName()), qPrintable(QSysInfo::prettyProductName()), rounds, Quorum);
    std::printf("  %-34s %9s %9s %10s\n", "", "requests", "median", "longest");
    const auto line = [](const char* name, const Run& run) {
        std::printf("  %-34s %9.2f %6.1f ms %7.1f ms\n", name, run.meanRequests(), run.median(), run.longest());
    };
    line("8 healthy, hedged", healthy);
    line("8 healthy, all at once", healthyAll);
    line("7 healthy + 1 3 s late, hedged", lateHedged);
    line("7 healthy + 1 3 s late, all at once", lateAll);
    std::printf("  healthy: %.2f requests a lookup (goal: at most %.1f)%s, time ratio %.2f (goal: within 1.2)\n",
                healthy.meanRequests(), Quorum + 0.2, fewRequests ? "" : " MISSED", ratio);
    std::printf("  the late source %s%s\n", notWaited ? "was never waited for" : "WAS WAITED FOR",
                agreed ? "" : "  SOME LOOKUPS DID NOT AGREE");
    return agreed && fewRequests && notWaited && ratio <= 1.2 ? 0 : 2;
}
