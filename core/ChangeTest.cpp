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
    m_unsaved4 = m_unsaved6 = false;
}

ChangeTest::Comparison ChangeTest::compareAndRememberIPv6(const QString& external6)
{
    Comparison result;
    if (external6 == QLatin1String("none") || external6.isEmpty())
        return result;
    result.changed = external6 != m_oldExternal6 && m_oldExternal6 != NoAddress;
    if (external6 != m_oldExternal6) {
        m_oldExternal6 = external6;
        m_unsaved6 = true;
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
    m_unsaved4 = true; // written even when unchanged: a file edited by hand gets the addresses back
    return result;
}

QString ChangeTest::save(const QList<std::pair<Key, QString>>& with)
{
    QList<std::pair<Key, QString>> values = with;
    if (m_unsaved4)
        values << std::pair{Key::OldExternal, m_oldExternal} << std::pair{Key::OldInternal, m_oldInternal};
    if (m_unsaved6)
        values << std::pair{Key::OldExternalIPv6, m_oldExternal6};
    if (values.isEmpty())
        return QString();
    const StoreResult result = m_settings.write(values);
    if (result)
        m_unsaved4 = m_unsaved6 = false;
    return result.reason;
}
