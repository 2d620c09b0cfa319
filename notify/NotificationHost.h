#pragma once

#include "core/SettingsKeys.h"

#include <QString>

#include <functional>

class QObject;
enum class Key;
class PasswordStore;
class Settings;
struct NotifySettings;
struct ProductInfo;

/// What the notifiers take from the main window: its status line, its address labels, the store,
/// the in-memory notification values and the product information.
class NotificationHost
{
public:
    virtual ~NotificationHost() = default;
    /// Replaces the whole status line.
    virtual void setStatus(const QString& text) = 0;
    virtual QString status() const = 0;
    /// Calls @p show with each new status line for as long as @p context lives.
    virtual void watchStatus(QObject* context, std::function<void(const QString&)> show) = 0;
    /// The addresses as the main window's labels show them at this moment.
    virtual QString internalAddress() const = 0;
    virtual QString externalAddress() const = 0;
    /// The public IPv6 address as the main window shows it; "none" when it has none (and for hosts
    /// that have no IPv6 line).
    virtual QString externalIPv6Address() const { return QStringLiteral("none"); }
    /// The machine's own stable IPv6 address and its prefix ("2001:db8:1:2::/64"); "none" without them.
    virtual QString internalIPv6Address() const { return QStringLiteral("none"); }
    virtual QString ipv6Prefix() const { return QStringLiteral("none"); }
    /// Whether the public IPv6 address is one of the machine's temporary addresses.
    virtual bool isExternalIPv6Temporary() const { return false; }
    /// The addresses before the last change (the web requests' $Old...$ placeholders); the current ones by default.
    virtual QString previousInternalAddress() const { return internalAddress(); }
    virtual QString previousExternalAddress() const { return externalAddress(); }
    virtual QString previousExternalIPv6Address() const { return externalIPv6Address(); }
    virtual QString previousIPv6Prefix() const { return ipv6Prefix(); }
    virtual Settings& settings() = 0;
    virtual NotifySettings& notifySettings() = 0;
    virtual const ProductInfo& product() const = 0;
    /// Where the mail password is kept; none: in the settings file, as NotifySettings holds it.
    virtual PasswordStore* passwordStore() { return nullptr; }
    /// Where the secret of settings key @p fileKey is kept (the mail password, a notifier's key); none: in the
    /// settings file only.
    virtual PasswordStore* secretStore(Key fileKey) { return fileKey == Key::MailPassword ? passwordStore() : nullptr; }
};
