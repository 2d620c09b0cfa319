#include "core/ChangeTest.h"

#include "core/Settings.h"

#include <utility>

ChangeTest::ChangeTest(Settings& settings) : m_settings(settings) {}

void ChangeTest::load()
{
    m_oldInternal = WatchedAddress::fromText(m_settings.read(Key::OldInternal));
    m_oldExternal = WatchedAddress::fromText(m_settings.read(Key::OldExternal));
    m_oldExternal6 = WatchedAddress::fromText(m_settings.read(Key::OldExternalIPv6));
    m_oldPrefix6 = WatchedAddress::fromText(m_settings.read(Key::OldIPv6Prefix));
    m_unsaved4 = m_unsaved6 = false;
}

ChangeTest::Comparison ChangeTest::compareAndRemember(const WatchedAddress& external, const WatchedAddress& internal,
                                                      const WatchedAddress& external6, const WatchedAddress& prefix6,
                                                      bool external6Temporary)
{
    Comparison result;
    const auto compare = [&result](const char* name, WatchedAddress& remembered, const WatchedAddress& now) {
        if (now == remembered || remembered.isNone()) {
            remembered = now;
            return WatchedAddress();
        }
        result.changes.append({QLatin1String(name), remembered.text(), now.text()});
        return std::exchange(remembered, now);
    };
    result.internalBefore = compare("Internal", m_oldInternal, internal);
    result.externalBefore = compare("External", m_oldExternal, external);
    m_unsaved4 = true; // written even when unchanged: a file edited by hand gets the addresses back
    if (!external6.isNone() && external6 != m_oldExternal6) {
        if (external6Temporary)
            m_oldExternal6 = external6; // a new temporary address every day or so tells nothing
        else
            result.external6Before = compare("External IPv6", m_oldExternal6, external6);
        m_unsaved6 = true;
    }
    if (!prefix6.isNone() && prefix6 != m_oldPrefix6) {
        result.prefix6Before = compare("IPv6 prefix", m_oldPrefix6, prefix6);
        m_unsaved6 = true;
    }
    return result;
}

QString ChangeTest::save(const QList<std::pair<Key, QString>>& with)
{
    QList<std::pair<Key, QString>> values = with;
    if (m_unsaved4) {
        values << std::pair{Key::OldExternal, m_oldExternal.storedText()}
               << std::pair{Key::OldInternal, m_oldInternal.storedText()};
    }
    if (m_unsaved6) {
        values << std::pair{Key::OldExternalIPv6, m_oldExternal6.storedText()}
               << std::pair{Key::OldIPv6Prefix, m_oldPrefix6.storedText()};
    }
    if (values.isEmpty())
        return QString();
    const StoreResult result = m_settings.write(values);
    if (result)
        m_unsaved4 = m_unsaved6 = false;
    return result.reason;
}
