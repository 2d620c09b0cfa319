#include "dnsapi/DnsProviders.h"

#include "dnsapi/providers/Providers.h"

#include <array>

namespace {
using F = DnsProviderField;

// What each provider asks of the user besides the zone and the names; the README lists what was checked of each.
constexpr std::array<F, 1> Token{{{"token", "API &token:", "", true}}};
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

// clang-format off
const DnsProviderInfo Providers[] = {
    {"cloudflare", "Cloudflare", "https://api.cloudflare.com/client/v4",
     "https://developers.cloudflare.com/api/resources/dns/subresources/records/",
     "https://dash.cloudflare.com/profile/api-tokens", Token, true, 0, makeCloudflare},
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
