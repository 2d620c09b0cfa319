#pragma once

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
};

/// Fills the process-wide product information (each call with the same values) and returns it.
const ProductInfo& LoadProductInfo();
