#pragma once

#include <QString>

class Settings;

/// The addresses seen last ("0" until one is seen), and the test whether a lookup's addresses
/// differ from them.
class ChangeTest
{
public:
    /// What a comparison found, and why the addresses it remembers did not reach the store (empty: they did).
    struct Comparison
    {
        bool changed = false;
        QString notSaved;
    };

    explicit ChangeTest(Settings& settings);

    /// Takes the remembered addresses from the store.
    void load();

    /// Compares with the remembered addresses (exactly, case-sensitive; a remembered "0" never counts
    /// as a change), then remembers and saves both. Whether either address changed.
    Comparison compareAndRemember(const QString& external, const QString& internal);

    /// The same for the public IPv6 address (`OldExternalIPv6`). "none" (no IPv6 route or no sources) is
    /// neither a change nor remembered, so an address that comes back unchanged notifies nobody.
    Comparison compareAndRememberIPv6(const QString& external6);

    const QString& oldExternal() const { return m_oldExternal; }
    const QString& oldExternalIPv6() const { return m_oldExternal6; }
    const QString& oldInternal() const { return m_oldInternal; }

private:
    Settings& m_settings;
    QString m_oldInternal = QStringLiteral("0");
    QString m_oldExternal = QStringLiteral("0");
    QString m_oldExternal6 = QStringLiteral("0");
};
