#include "notify/WebEntries.h"

#include "core/Settings.h"
#include "notify/NotificationHost.h"
#include "notify/WebPresets.h"

#include <QStringList>

namespace {
constexpr qsizetype MaxLastSetLength = 1000;

QString number(int entry)
{
    return QString::number(entry + 1);
}
} // namespace

namespace WebEntries {
Key requestKey(int entry)
{
    return Key(int(Key::WebRequest2) + entry - First);
}

Key secretKey(int entry)
{
    return Key(int(Key::WebSecret2) + entry - First);
}

std::optional<int> entryOfSecret(Key key)
{
    const int entry = int(key) - int(Key::WebSecret2) + First;
    return entry >= First && entry <= Last ? std::optional<int>(entry) : std::nullopt;
}

PasswordStore* secretStore(NotificationHost& host, int entry)
{
    return entry >= First && entry <= Last ? host.secretStore(secretKey(entry)) : nullptr;
}

Key sendsKey(int entry)
{
    return Key(int(Key::WebSends1) + entry);
}

Key failUrlKey(int entry)
{
    return Key(int(Key::WebFailUrl1) + entry);
}

WebSends sends(const Settings& settings, int entry)
{
    return WebSends(settings.readInt(sendsKey(entry))); // the key's range is the enum's
}

void setSends(Settings& settings, int entry, WebSends sends, const QString& failUrl)
{
    (void)settings.write(sendsKey(entry), int(sends));
    (void)settings.write(failUrlKey(entry), failUrl);
}

void setSends(Settings& settings, int entry, const WebPreset& preset)
{
    setSends(settings, entry, preset.sends, QString::fromLatin1(preset.failUrl));
}

QString pingUrl(const Settings& settings, int entry, const QString& url, bool ok)
{
    switch (sends(settings, entry)) {
    case WebSends::OnChange:
        return {};
    case WebSends::EveryLookup:
        return url;
    case WebSends::FailedLookup:
        return ok ? QString() : url;
    case WebSends::Both:
        return ok ? url : settings.read(failUrlKey(entry)).trimmed();
    }
    return {};
}

QString keyringKey(int entry)
{
    return QStringLiteral("web request %1 secret").arg(number(entry));
}

std::optional<WebRequest> load(const Settings& settings, int entry, QString* error)
{
    error->clear();
    const QString text = settings.read(requestKey(entry));
    if (text.trimmed().isEmpty())
        return std::nullopt;
    std::optional<WebRequest> request = WebRequest::fromStored(text, error);
    if (request && !request->preset.isEmpty() && !findWebPreset(request->preset)) {
        *error = QStringLiteral("unknown preset \"%1\"").arg(request->preset.left(20));
        return std::nullopt;
    }
    return request;
}

void save(Settings& settings, int entry, const WebRequest& request)
{
    (void)settings.write(requestKey(entry), request.toStored());
}

QString lastSet(const Settings& settings, int entry)
{
    const QString text = settings.read(Key::WebLastSet);
    if (text.size() > MaxLastSetLength)
        return {};
    const QString prefix = number(entry) + u'=';
    for (const QString& item : text.split(u';', Qt::SkipEmptyParts)) {
        if (item.startsWith(prefix))
            return item.mid(prefix.size());
    }
    return {};
}

void setLastSet(Settings& settings, int entry, const QString& address)
{
    QStringList items;
    for (int other = First; other <= Last; ++other) {
        const QString value = other == entry ? address : lastSet(settings, other);
        if (!value.isEmpty() && !value.contains(u';'))
            items << number(other) + u'=' + value;
    }
    (void)settings.write(Key::WebLastSet, items.join(u';'));
}
} // namespace WebEntries
