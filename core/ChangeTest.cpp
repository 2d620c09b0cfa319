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

QString ChangeTest::Comparison::before(const QString& name, const QString& now) const
{
    for (const AddressChange& change : changes) {
        if (change.name == name)
            return change.before;
    }
    return now;
}

ChangeTest::Comparison ChangeTest::compareAndRemember(const QString& external, const QString& internal,
                                                      const QString& external6)
{
    Comparison result;
    const auto compare = [&result](const char* name, QString& remembered, const QString& now) {
        if (now != remembered && remembered != NoAddress)
            result.changes.append({QLatin1String(name), remembered, now});
        remembered = now;
    };
    compare("Internal", m_oldInternal, internal);
    compare("External", m_oldExternal, external);
    m_unsaved4 = true; // written even when unchanged: a file edited by hand gets the addresses back
    if (external6 != QLatin1String("none") && !external6.isEmpty() && external6 != m_oldExternal6) {
        compare("External IPv6", m_oldExternal6, external6);
        m_unsaved6 = true;
    }
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
