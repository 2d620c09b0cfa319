#include "dnsapi/DnsProviders.h"

#include "dnsapi/providers/Providers.h"

#include <array>

namespace {
using F = DnsProviderField;

// What each provider asks of the user besides the zone and the names; the README lists what was checked of each.
constexpr std::array<F, 1> Token{{{"token", "API &token:", "", true}}};
constexpr std::array<F, 2> UserPassword{{{"user", "&User name:", "", false}, {"password", "&Password:", "", true}}};
constexpr std::array<F, 1> DdnsKey{{{"password", "DDNS &key:", "the record's key", true}}};
constexpr std::array<F, 1> DdnsPassword{{{"password", "Dynamic DNS &password:", "the domain's", true}}};
constexpr std::array<F, 1> UpdateKey{{{"token", "Update &key:", "the record's", true}}};
constexpr std::array<F, 1> ApiKey{{{"token", "API &key:", "", true}}};
constexpr std::array<F, 2> GoDaddyKeys{{{"key", "API &key:", "", true}, {"secret", "API &secret:", "", true}}};
constexpr std::array<F, 1> IonosKey{{{"key", "API &key:", "prefix.secret", true}}};
constexpr std::array<F, 2> ClouDnsAuth{{{"authId", "Auth &ID:", "the API user's auth-id"},
                                        {"password", "Auth &password:", "", true}}};
constexpr std::array<F, 3> NetcupKeys{{{"customer", "&Customer number:"},
                                       {"apikey", "API &key:", "", true},
                                       {"apipassword", "API &password:", "", true}}};
constexpr std::array<F, 2> PorkbunKeys{{{"apikey", "API &key:", "pk1_...", true},
                                        {"secretapikey", "&Secret API key:", "sk1_...", true}}};
constexpr std::array<F, 2> DNSimpleFields{{{"account", "&Account ID:", "the number in the account's address"},
                                           {"token", "API &token:", "", true}}};

constexpr std::array<F, 3> Route53Fields{{{"accessKeyId", "Access &key ID:", "AKIA..."},
                                          {"secretAccessKey", "&Secret access key:", "", true},
                                          {"hostedZoneId", "&Hosted zone ID:", "found by the zone's name when empty",
                                           false, true}}};

constexpr std::array<F, 3> OvhFields{{{"applicationKey", "&Application key:", ""},
                                      {"applicationSecret", "Application &secret:", "", true},
                                      {"consumerKey", "&Consumer key:", "", true}}};

constexpr std::array<F, 6> AzureFields{{{"tenantId", "&Tenant ID:", ""},
                                        {"clientId", "&Client ID:", "the app registration's"},
                                        {"clientSecret", "Client &secret:", "", true},
                                        {"subscriptionId", "Su&bscription ID:", ""},
                                        {"resourceGroup", "&Resource group:", ""},
                                        {"authority", "Sign-in &address:", "https://login.microsoftonline.com",
                                         false, true}}};

constexpr std::array<F, 3> GoogleFields{{{"projectId", "&Project ID:", ""},
                                         {"managedZone", "&Managed zone:", "the zone's name in Cloud DNS"},
                                         {"key", "Service-account &key (JSON):", "", true}}};

// The dynamic-DNS services: presets of one provider (DynamicDns.cpp) that only takes updates.
#define DYNAMIC_DNS(id) [] { return makeDynamicDns(id); }

// clang-format off
const DnsProviderInfo Providers[] = {
    {"cloudflare", "Cloudflare", "https://api.cloudflare.com/client/v4",
     "https://developers.cloudflare.com/api/resources/dns/subresources/records/",
     "https://dash.cloudflare.com/profile/api-tokens", Token, true, 0, makeCloudflare},
    {"noip", "No-IP", "https://dynupdate.no-ip.com", "https://developer.noip.com/ddns-integration/get_nic_update/",
     "https://my.noip.com/dynamic-dns", UserPassword, false, 0, DYNAMIC_DNS("noip")},
    {"freedns", "FreeDNS", "https://freedns.afraid.org", "https://freedns.afraid.org/faq/",
     "https://freedns.afraid.org/dynamic/", UserPassword, false, 0, DYNAMIC_DNS("freedns")},
    {"he", "Hurricane Electric", "https://dyn.dns.he.net", "https://dns.he.net/docs.html",
     "https://dns.he.net/", DdnsKey, false, 0, DYNAMIC_DNS("he")},
    {"strato", "Strato", "https://dyndns.strato.com", "https://www.strato.de/faq/domains/so-einfach-richten-sie-dyndns-fuer-ihre-domains-ein/",
     "https://www.strato.de/apps/CustomerService", UserPassword, false, 0, DYNAMIC_DNS("strato")},
    {"inwx", "INWX", "https://dyndns.inwx.com", "https://kb.inwx.com/en-us/3-nameserver/131-how-can-i-use-dynamic-dns-at-inwx",
     "https://www.inwx.com/en/nameserver2/dyndns", UserPassword, false, 0, DYNAMIC_DNS("inwx")},
    {"infomaniak", "Infomaniak", "https://infomaniak.com", "https://faq.infomaniak.com/2376",
     "https://manager.infomaniak.com", UserPassword, false, 0, DYNAMIC_DNS("infomaniak")},
    {"njalla", "Njalla", "https://njal.la", "https://njal.la/docs/ddns/", "https://njal.la/domains/", UpdateKey,
     false, 0, DYNAMIC_DNS("njalla")},
    {"duckdns", "Duck DNS", "https://www.duckdns.org", "https://www.duckdns.org/install.jsp", "https://www.duckdns.org/",
     Token, false, 0, DYNAMIC_DNS("duckdns")},
    {"dynv6", "dynv6", "https://dynv6.com", "https://dynv6.com/docs/apis", "https://dynv6.com/keys", Token, true, 0,
     DYNAMIC_DNS("dynv6")},
    {"namecheap", "Namecheap", "https://dynamicdns.park-your-domain.com",
     "https://www.namecheap.com/support/knowledgebase/article.aspx/29/11/how-to-dynamically-update-the-hosts-ip-with-an-http-request/",
     "https://ap.www.namecheap.com/domains/list/", DdnsPassword, true, 0, DYNAMIC_DNS("namecheap")},
    {"gandi", "Gandi LiveDNS", "https://api.gandi.net/v5/livedns", "https://api.gandi.net/docs/livedns/",
     "https://admin.gandi.net/organizations/account/pat", Token, true, 0, makeGandi},
    {"godaddy", "GoDaddy", "https://api.godaddy.com/v1", "https://developer.godaddy.com/doc/endpoint/domains",
     "https://developer.godaddy.com/keys", GoDaddyKeys, true, 0, makeGoDaddy},
    {"ionos", "IONOS", "https://api.hosting.ionos.com/dns/v1", "https://developer.hosting.ionos.com/docs/dns",
     "https://developer.hosting.ionos.com/keys", IonosKey, true, 0, makeIonos},
    {"desec", "deSEC", "https://desec.io/api/v1", "https://desec.readthedocs.io/en/latest/dns/rrsets.html",
     "https://desec.io/tokens", Token, true, 0, makeDesec},
    {"dynu", "Dynu", "https://api.dynu.com/v2", "https://www.dynu.com/Support/API",
     "https://www.dynu.com/ControlPanel/APICredentials", ApiKey, true, 0, makeDynu},
    {"cloudns", "ClouDNS", "https://api.cloudns.net/dns", "https://www.cloudns.net/wiki/article/41/",
     "https://www.cloudns.net/api-settings/", ClouDnsAuth, true, 0, makeClouDns},
    {"netcup", "netcup", "https://ccp.netcup.net/run/webservice/servers/endpoint.php?JSON",
     "https://ccp.netcup.net/run/webservice/servers/endpoint.php", "https://www.customercontrolpanel.de/",
     NetcupKeys, true, 0, makeNetcup},
    {"porkbun", "Porkbun", "https://api.porkbun.com/api/json/v3", "https://porkbun.com/api/json/v3/documentation",
     "https://porkbun.com/account/api", PorkbunKeys, true, 0, makePorkbun},
    {"digitalocean", "DigitalOcean", "https://api.digitalocean.com/v2",
     "https://docs.digitalocean.com/reference/api/digitalocean/#tag/Domain-Records",
     "https://cloud.digitalocean.com/account/api/tokens", Token, true, 0, makeDigitalOcean},
    {"linode", "Linode", "https://api.linode.com/v4",
     "https://techdocs.akamai.com/linode-api/reference/get-domain-records",
     "https://cloud.linode.com/profile/tokens", Token, true, 0, makeLinode},
    {"vultr", "Vultr", "https://api.vultr.com/v2", "https://www.vultr.com/api/#tag/dns",
     "https://my.vultr.com/settings/#settingsapi", Token, true, 0, makeVultr},
    {"dnsimple", "DNSimple", "https://api.dnsimple.com/v2", "https://developer.dnsimple.com/v2/zones/records/",
     "https://dnsimple.com/user", DNSimpleFields, true, 0, makeDNSimple},
    {"hetzner", "Hetzner DNS Console", "https://dns.hetzner.com/api/v1", "https://dns.hetzner.com/api-docs",
     "https://dns.hetzner.com/settings/api-token", Token, true, 0, makeHetzner},
    {"hetzner-cloud", "Hetzner Cloud DNS", "https://api.hetzner.cloud/v1",
     "https://docs.hetzner.cloud/reference/cloud#zone-rrsets",
     "https://console.hetzner.cloud/projects", Token, true, 0, makeHetznerCloud},
    {"route53", "Amazon Route 53", "https://route53.amazonaws.com",
     "https://docs.aws.amazon.com/Route53/latest/APIReference/API_ChangeResourceRecordSets.html",
     "https://console.aws.amazon.com/iam/home#/security_credentials", Route53Fields, true, 0, makeRoute53},
    {"ovh", "OVHcloud", "https://eu.api.ovh.com/1.0", "https://eu.api.ovh.com/console/?section=%2Fdomain",
     "https://eu.api.ovh.com/createToken/", OvhFields, true, 0, makeOvh},
    {"azure", "Azure DNS", "https://management.azure.com",
     "https://learn.microsoft.com/en-us/rest/api/dns/record-sets",
     "https://portal.azure.com/#view/Microsoft_AAD_RegisteredApps/ApplicationsListBlade", AzureFields, true, 0,
     makeAzure},
    {"google", "Google Cloud DNS", "https://dns.googleapis.com/dns/v1",
     "https://cloud.google.com/dns/docs/reference/rest/v1/resourceRecordSets",
     "https://console.cloud.google.com/iam-admin/serviceaccounts", GoogleFields, true, 0, makeGoogleCloudDns},
};
// clang-format on
#undef DYNAMIC_DNS
} // namespace

QList<QString> DnsProviderInfo::secretNames() const
{
    QList<QString> names;
    for (const DnsProviderField& field : fields) {
        if (field.secret)
            names << QString::fromLatin1(field.name);
    }
    return names;
}

namespace DnsProviders {
std::span<const DnsProviderInfo> all()
{
    return Providers;
}

const DnsProviderInfo* find(const QString& id)
{
    for (const DnsProviderInfo& info : Providers) {
        if (id == QLatin1String(info.id))
            return &info;
    }
    return nullptr;
}
} // namespace DnsProviders
