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
