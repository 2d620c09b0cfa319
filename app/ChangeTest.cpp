#include "app/ChangeTest.h"

#include "app/Settings.h"

namespace {
const QString NoAddress = QStringLiteral("0");
}

ChangeTest::ChangeTest(Settings& settings) : m_settings(settings) {}

void ChangeTest::load()
{
    m_oldInternal = m_settings.read(QStringLiteral("OldInternal"), NoAddress);
    m_oldExternal = m_settings.read(QStringLiteral("OldExternal"), NoAddress);
    m_oldExternal6 = m_settings.read(QStringLiteral("OldExternalIPv6"), NoAddress);
}

bool ChangeTest::compareAndRememberIPv6(const QString& external6)
{
    if (external6 == QLatin1String("none") || external6.isEmpty())
        return false;
    const bool changed = external6 != m_oldExternal6 && m_oldExternal6 != NoAddress;
    if (external6 != m_oldExternal6) {
        m_oldExternal6 = external6;
        m_settings.write(QStringLiteral("OldExternalIPv6"), m_oldExternal6);
    }
    return changed;
}

bool ChangeTest::compareAndRemember(const QString& external, const QString& internal)
{
    bool changed = false;
    if (external != m_oldExternal && m_oldExternal != NoAddress)
        changed = true;
    if (internal != m_oldInternal && m_oldInternal != NoAddress)
        changed = true;
    m_oldExternal = external;
    m_oldInternal = internal;
    m_settings.write(QStringLiteral("OldExternal"), m_oldExternal);
    m_settings.write(QStringLiteral("OldInternal"), m_oldInternal);
    return changed;
}
