// Measures the agreement lookup: three sources of which one answers 3 s late against one source alone,
// side by side in one run. The prompt sources answer after 50 ms, a network round trip; on loopback without
// it a lookup takes well under a millisecond and the ratio would measure only the set-up of two more sources.
// The lookup over three should end with the two prompt ones, so its wall time stays near the single one's.
#include "PeerProcess.h"
#include "discovery/AddressLookup.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QSysInfo>

#include <algorithm>
#include <cstdio>

namespace {

double lookupMs(const AddressLookup::Config& config, bool* agreed)
{
    AddressLookup lookup;
    QSignalSpy finished(&lookup, &AddressLookup::finished);
    QElapsedTimer clock;
    clock.start();
    lookup.start(config);
    finished.wait(config.totalTimeoutMs + 1000);
    const double ms = clock.nsecsElapsed() / 1e6;
    *agreed =
        !finished.isEmpty() && finished.first().first().value<LookupResult>().outcome == LookupResult::Outcome::Agreed;
    return ms;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 9;
    // Agreement counts servers, so each source is a peer of its own.
    PeerProcess prompt;
    PeerProcess prompt2;
    PeerProcess late;
    QString error;
    const QStringList promptArgs{"--protocol", "dns", "--fault", "delay:0.05", "--address", "203.0.113.7"};
    if (!prompt.start("udp_fault_peer.py", promptArgs, &error) ||
        !prompt2.start("udp_fault_peer.py", promptArgs, &error) ||
        !late.start("udp_fault_peer.py", {"--protocol", "dns", "--fault", "delay:3", "--address", "203.0.113.7"},
                    &error)) {
        std::fprintf(stderr, "lookup_bench: %s\n", qPrintable(error));
        return 1;
    }
    const QString fast = QString("dns://127.0.0.1:%1/").arg(prompt.port());
    AddressLookup::Config three{{fast + "myip.test",
                                 QString("dns://127.0.0.1:%1/txt.test?type=TXT").arg(prompt2.port()),
                                 QString("dns://127.0.0.1:%1/myip.test").arg(late.port())},
                                2,
                                5000,
                                8000};
    AddressLookup::Config one{{fast + "myip.test"}, 2, 5000, 8000};
    QList<double> threeMs;
    QList<double> oneMs;
    bool allAgreed = true;
    for (int i = 0; i < rounds; ++i) {
        bool agreed = false;
        threeMs << lookupMs(three, &agreed);
        allAgreed &= agreed;
        oneMs << lookupMs(one, &agreed);
        allAgreed &= agreed;
    }
    const double ratio = median(threeMs) / median(oneMs);
    std::printf("lookup_bench %s on %s (%s), %d rounds, medians:\n",
                qPrintable(QDateTime::currentDateTimeUtc().toString(Qt::ISODate)),
                qPrintable(QSysInfo::machineHostName()), qPrintable(QSysInfo::prettyProductName()), rounds);
    std::printf("  three sources, one 3 s late: %8.1f ms (the others after 50 ms)\n", median(threeMs));
    std::printf("  one source:                  %8.1f ms\n", median(oneMs));
    std::printf("  ratio: %.2f (goal: within 1.3)%s\n", ratio, allAgreed ? "" : "  SOME LOOKUPS DID NOT AGREE");
    return allAgreed && ratio <= 1.3 ? 0 : 2;
}
