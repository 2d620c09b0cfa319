#pragma once

#include <QByteArray>
#include <QString>

/// The product information that the executable carries: shown in captions, used as the settings
/// application name, in the mail text and in the About window.
struct ProductInfo
{
    QString productName;
    QString companyName;
    QString website;  // a bare domain name, without scheme or "www."
    int majorVersion = 0;
    int minorVersion = 0;

    /// "3.3": as the About window and the application's version show it.
    QString version() const { return QStringLiteral("%1.%2").arg(majorVersion).arg(minorVersion); }
    /// "Tarnwick IP Vistrel/3.3": what HTTP requests name themselves by (services refuse anonymous agents).
    QByteArray userAgent() const { return (productName + u'/' + version()).toUtf8(); }
};

/// Fills the process-wide product information (each call with the same values) and returns it.
const ProductInfo& LoadProductInfo();
