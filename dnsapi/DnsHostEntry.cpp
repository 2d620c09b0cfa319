#include "dnsapi/DnsHostEntry.h"

#include "core/Settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace {
constexpr qsizetype MaxEntryBytes = 64 * 1024;
constexpr qsizetype MaxTextChars = 253; // a DNS name's longest
constexpr const char* OldProvider = "cloudflare";

QString text(const QJsonObject& object, const char* name)
{
    return object.value(QLatin1String(name)).toString().left(MaxTextChars).trimmed();
}

/// Entry 0, from the keys of old.
std::optional<DnsHostEntry> loadOld(const Settings& settings, QString* error)
{
    DnsHostEntry entry;
    entry.provider = QLatin1String(OldProvider);
    entry.on = settings.readFlag(Key::CloudflareNotify);
    entry.zone = settings.read(Key::DnsApiZone).trimmed();
    entry.api = settings.read(Key::DnsApiBaseUrl).trimmed();
    const QString names = settings.read(Key::DnsApiNames).trimmed();
    if (!names.isEmpty()) {
        std::optional<QList<DnsHostName>> list = DnsNames::parse(names, error);
        if (!list)
            return std::nullopt;
        entry.names = *list;
    } else if (const QString record = settings.read(Key::DnsApiRecord).trimmed(); !record.isEmpty()) {
        entry.names.append({.name = record, .ttl = settings.readInt(Key::DnsApiTtl)});
    }
    if (entry.zone.isEmpty() && entry.names.isEmpty())
        return std::nullopt;
    return entry;
}
} // namespace

namespace DnsHostEntries {
Key entryKey(int entry)
{
    return Key(int(Key::DnsHost1) + entry - 1);
}

Key secretKey(int entry)
{
    return entry == 0 ? Key::DnsApiToken : Key(int(Key::DnsHostSecret1) + entry - 1);
}

std::optional<int> entryOfSecret(Key key)
{
    const int entry = int(key) - int(Key::DnsHostSecret1) + 1;
    return entry >= 1 && entry <= Last ? std::optional<int>(entry) : std::nullopt;
}

QString keyringKey(int entry)
{
    return entry == 0 ? QStringLiteral("DNS API token") : QStringLiteral("DNS host %1 secret").arg(entry);
}

QJsonObject toJson(const DnsHostEntry& entry)
{
    QJsonObject object{{QStringLiteral("provider"), entry.provider}, {QStringLiteral("on"), entry.on},
                       {QStringLiteral("zone"), entry.zone}, {QStringLiteral("names"), DnsNames::toJson(entry.names)}};
    if (!entry.label.isEmpty())
        object.insert(QStringLiteral("label"), entry.label);
    if (!entry.api.isEmpty())
        object.insert(QStringLiteral("api"), entry.api);
    QJsonObject fields;
    for (auto field = entry.fields.cbegin(); field != entry.fields.cend(); ++field) {
        if (!field.value().isEmpty())
            fields.insert(field.key(), field.value());
    }
    if (!fields.isEmpty())
        object.insert(QStringLiteral("fields"), fields);
    return object;
}

std::optional<DnsHostEntry> fromJson(const QJsonObject& object, QString* error)
{
    DnsHostEntry entry;
    entry.provider = text(object, "provider");
    if (entry.provider.isEmpty()) {
        *error = QStringLiteral("it names no provider");
        return std::nullopt;
    }
    entry.label = text(object, "label");
    entry.on = object.value(QLatin1String("on")).toBool(false);
    entry.zone = text(object, "zone");
    entry.api = text(object, "api");
    const QJsonObject fields = object.value(QLatin1String("fields")).toObject();
    for (auto field = fields.constBegin(); field != fields.constEnd(); ++field) {
        if (field.value().isString())
            entry.fields.insert(field.key().left(40), field.value().toString().left(MaxTextChars).trimmed());
    }
    std::optional<QList<DnsHostName>> names = DnsNames::fromJson(object.value(QLatin1String("names")).toArray(), error);
    if (!names)
        return std::nullopt;
    entry.names = *names;
    return entry;
}

std::optional<DnsHostEntry> load(const Settings& settings, int entry, QString* error)
{
    error->clear();
    if (entry == 0)
        return loadOld(settings, error);
    const QString stored = settings.read(entryKey(entry)).trimmed();
    if (stored.isEmpty())
        return std::nullopt;
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(stored.left(MaxEntryBytes).toUtf8(), &parse);
    if (stored.size() > MaxEntryBytes || parse.error != QJsonParseError::NoError || !document.isObject()) {
        *error = QStringLiteral("its stored text is no JSON object");
        return std::nullopt;
    }
    return fromJson(document.object(), error);
}

bool save(Settings& settings, int entry, const DnsHostEntry& value, QString* error)
{
    StoreResult stored;
    if (entry == 0) {
        if (value.provider != QLatin1String(OldProvider)) {
            *error = QStringLiteral("the first entry is always Cloudflare");
            return false;
        }
        // The first name stays where earlier versions read it; the list holds them all where there is more to say.
        const DnsHostName first = value.names.value(0);
        const bool plain = value.names.size() <= 1 && first.ipv4 && first.ipv6 && !first.seen && first.iid.isEmpty() &&
                           first.flags.isEmpty();
        stored = settings.write({
            {Key::CloudflareNotify, value.on ? QStringLiteral("1") : QStringLiteral("0")},
            {Key::DnsApiZone, value.zone},
            {Key::DnsApiRecord, first.name},
            {Key::DnsApiTtl, QString::number(first.ttl > 0 ? first.ttl : 1)},
            {Key::DnsApiBaseUrl, value.api.isEmpty() ? QString::fromLatin1(keyInfo(Key::DnsApiBaseUrl).defaultText)
                                                     : value.api},
            {Key::DnsApiNames, plain ? QString()
                                     : QString::fromUtf8(QJsonDocument(DnsNames::toJson(value.names))
                                                             .toJson(QJsonDocument::Compact))},
        });
    } else {
        stored = settings.write(entryKey(entry),
                                QString::fromUtf8(QJsonDocument(toJson(value)).toJson(QJsonDocument::Compact)));
    }
    if (!stored.ok)
        *error = stored.reason;
    return stored.ok;
}

void remove(Settings& settings, int entry)
{
    if (entry == 0) {
        (void)settings.write({{Key::CloudflareNotify, QStringLiteral("0")},
                              {Key::DnsApiZone, QString()},
                              {Key::DnsApiRecord, QString()},
                              {Key::DnsApiNames, QString()}});
        return;
    }
    (void)settings.write(entryKey(entry), QString());
}

QString lastSet(const Settings& settings, int entry)
{
    if (entry == 0)
        return settings.read(Key::DnsApiLastSet);
    const QJsonObject all = QJsonDocument::fromJson(settings.read(Key::DnsHostLastSet).toUtf8()).object();
    return all.value(QString::number(entry)).toString();
}

void setLastSet(Settings& settings, int entry, const QString& remembered)
{
    if (entry == 0) {
        (void)settings.write(Key::DnsApiLastSet, remembered);
        return;
    }
    QJsonObject all = QJsonDocument::fromJson(settings.read(Key::DnsHostLastSet).toUtf8()).object();
    all.insert(QString::number(entry), remembered);
    (void)settings.write(Key::DnsHostLastSet, QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Compact)));
}
} // namespace DnsHostEntries
