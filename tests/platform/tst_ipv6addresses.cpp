// The machine's own IPv6 addresses as both systems read them: the kinds the Windows adapter list's fields say, the
// stable address chosen among them, prefixes and interface identifiers.
#include "platform/Ipv6Addresses.h"

#include <QtTest>

using Kind = InterfaceIPv6::Kind;
using F = AdapterAddressFields;
Q_DECLARE_METATYPE(InterfaceIPv6::Kind)

class TestIpv6Addresses : public QObject
{
    Q_OBJECT
private slots:
    // Rows as GetAdaptersAddresses reports them for an interface with a router's prefix and privacy addresses.
    void kindFromAdapterFields_data()
    {
        QTest::addColumn<int>("prefixOrigin");
        QTest::addColumn<int>("suffixOrigin");
        QTest::addColumn<int>("dadState");
        QTest::addColumn<uint>("preferred");
        QTest::addColumn<Kind>("kind");
        const auto row = [](const char* name, int prefix, int suffix, int dad, uint preferred, Kind kind) {
            QTest::newRow(name) << prefix << suffix << dad << preferred << kind;
        };
        const int ra = F::PrefixRouterAdvertisement, eui64 = F::SuffixLinkLayerAddress;
        row("EUI-64", ra, eui64, F::DadPreferred, 14400u, Kind::Stable);
        row("temporary", ra, F::SuffixRandom, F::DadPreferred, 3600u, Kind::Temporary);
        row("old temporary", ra, F::SuffixRandom, F::DadDeprecated, 0u, Kind::Deprecated);
        row("withdrawn prefix", ra, eui64, F::DadPreferred, 0u, Kind::Deprecated);
        row("tentative", ra, eui64, F::DadTentative, 14400u, Kind::Tentative);
        row("duplicate", F::PrefixManual, F::SuffixManual, F::DadDuplicate, 0xffffffffu, Kind::Tentative);
        row("DHCPv6", F::PrefixDhcp, F::SuffixDhcp, F::DadPreferred, 7200u, Kind::Stable);
        row("random by hand", F::PrefixManual, F::SuffixRandom, F::DadPreferred, 0xffffffffu, Kind::Stable);
    }
    void kindFromAdapterFields()
    {
        F fields;
        QFETCH(int, prefixOrigin);
        QFETCH(int, suffixOrigin);
        QFETCH(int, dadState);
        QFETCH(uint, preferred);
        fields.prefixOrigin = prefixOrigin;
        fields.suffixOrigin = suffixOrigin;
        fields.dadState = dadState;
        fields.preferredSeconds = preferred;
        QTEST(Ipv6Addressing::kindFromAdapter(fields), "kind");
    }

    // During a renumbering: the new prefix's stable address, never a temporary, tentative or private one.
    void choosesTheStableAddress()
    {
        const auto own = [](const char* text, Kind kind, quint32 preferred = 14400) {
            return InterfaceIPv6{QHostAddress(QLatin1String(text)), 64, kind, preferred};
        };
        LocalIPv6 local{{own("2001:db8:1::1", Kind::Deprecated, 0), own("fd00::5", Kind::Stable, UINT32_MAX),
                         own("2001:db8:2::aa", Kind::Temporary), own("2001:db8:2::1", Kind::Stable, 3600),
                         own("2001:db8:3::1", Kind::Tentative)}};
        QCOMPARE(local.stable()->address, QHostAddress(QStringLiteral("2001:db8:2::1")));
        QCOMPARE(local.kindOf(QHostAddress(QStringLiteral("2001:db8:2::aa"))), Kind::Temporary);
        QVERIFY(!local.kindOf(QHostAddress(QStringLiteral("2001:db8:2::ab"))));
        local.addresses.removeAt(3);
        QCOMPARE(local.stable()->address, QHostAddress(QStringLiteral("2001:db8:1::1"))); // deprecated, still valid
        local.addresses.removeAt(0);
        QVERIFY(!local.stable());
    }

    void prefixAndInterfaceIdentifier_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("host"); // "" for none
        const auto row = [](const char* name, const char* address, int length, const char* identifier,
                            const char* prefix, const char* host) {
            QTest::newRow(name) << QString(address) << length << QString(identifier) << QString(prefix)
                                << QString(host);
        };
        row("::10", "2001:db8:1:2:a:b:c:d", 64, "::10", "2001:db8:1:2::/64", "2001:db8:1:2::10");
        row("::1:2:3:4", "2001:db8::5", 56, "::1:2:3:4", "2001:db8::/56", "2001:db8::1:2:3:4");
        // RFC 4291 appendix A: the universal/local bit inverted, FFFE in the middle (a MAC of RFC 7042's range).
        row("MAC", "2001:db8::5", 64, "00:00:5e:00:53:01", "2001:db8::/64", "2001:db8::200:5eff:fe00:5301");
        row("MAC, dashes, local bit", "2001:db8::5", 64, "02-00-5E-10-00-01", "2001:db8::/64", "2001:db8::5eff:fe10:1");
        row("prefix length 60", "2001:db8:0:12::1", 60, "::10", "2001:db8:0:10::/60", "2001:db8:0:10::10");
        row("identifier with a prefix", "2001:db8::5", 64, "2001:db8::10", "2001:db8::/64", "");
        row("all zero", "2001:db8::5", 64, "::", "2001:db8::/64", "");
        row("short MAC", "2001:db8::5", 64, "00:00:5e:00:53", "2001:db8::/64", "");
        row("scoped", "2001:db8::5", 64, "::10%eth0", "2001:db8::/64", "");
        row("not hex", "2001:db8::5", 64, "::10g", "2001:db8::/64", "");
        row("prefix too long", "2001:db8::5", 96, "::10", "2001:db8::/96", "");
        row("no prefix", "10.0.0.1", 64, "::10", "", "");
    }
    void prefixAndInterfaceIdentifier()
    {
        QFETCH(QString, address);
        QFETCH(int, length);
        QFETCH(QString, identifier);
        const QString prefix = Ipv6Addressing::prefixText(QHostAddress(address), length);
        QTEST(prefix, "prefix");
        const QHostAddress made = Ipv6Addressing::withInterfaceIdentifier(prefix, identifier);
        QTEST(made.isNull() ? QString() : made.toString(), "host");
    }
};

QTEST_GUILESS_MAIN(TestIpv6Addresses)
#include "tst_ipv6addresses.moc"
