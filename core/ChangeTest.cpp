#include "core/ChangeTest.h"

#include "core/Settings.h"

namespace {
const QString NoAddress = QStringLiteral("0");
}

ChangeTest::ChangeTest(Settings& settings) : m_settings(settings) {}

void ChangeTest::load()
{
    m_oldInternal = m_settings.read(Key::OldInternal);
    m_oldExternal = m_settings.read(Key::OldExternal);
    m_oldExternal6 = m_settings.read(Key::OldExternalIPv6);
}

ChangeTest::Comparison ChangeTest::compareAndRememberIPv6(const QString& external6)
{
    Comparison result;
    if (external6 == QLatin1String("none") || external6.isEmpty())
        return result;
    result.changed = external6 != m_oldExternal6 && m_oldExternal6 != NoAddress;
    if (external6 != m_oldExternal6) {
        m_oldExternal6 = external6;
        result.notSaved = m_settings.write(Key::OldExternalIPv6, m_oldExternal6).reason;
    }
    return result;
}

ChangeTest::Comparison ChangeTest::compareAndRemember(const QString& external, const QString& internal)
{
    Comparison result;
    if (external != m_oldExternal && m_oldExternal != NoAddress)
        result.changed = true;
    if (internal != m_oldInternal && m_oldInternal != NoAddress)
        result.changed = true;
    m_oldExternal = external;
    m_oldInternal = internal;
    const StoreResult external4 = m_settings.write(Key::OldExternal, m_oldExternal);
    const StoreResult internal4 = m_settings.write(Key::OldInternal, m_oldInternal);
    result.notSaved = external4 ? internal4.reason : external4.reason;
    return result;
}
