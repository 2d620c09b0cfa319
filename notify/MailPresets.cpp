#include "notify/MailPresets.h"

std::optional<MailPreset> mailPresetFor(const QString& entry)
{
    const QString name = entry.toLower();
    if (name == QLatin1String("gmail")) {
        const QString address = QStringLiteral("ACCOUNT@gmail.com");
        return MailPreset{QStringLiteral("smtp.gmail.com"), QStringLiteral("465"), address, address, true};
    }
    if (name == QLatin1String("lycos")) {
        const QString address = QStringLiteral("ACCOUNT@lycos.com");
        return MailPreset{QStringLiteral("smtp.mail.lycos.com"), QStringLiteral("25"), address, address, false};
    }
    if (name == QLatin1String("aol")) {
        return MailPreset{QStringLiteral("smtp.aol.com"), QStringLiteral("25"), QStringLiteral("ACCOUNT@aol.com"),
                          QStringLiteral("ACCOUNT"), false};
    }
    return std::nullopt;
}
