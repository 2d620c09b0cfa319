#include "notify/WebNotifier.h"

#include "app/NotifySettings.h"
#include "notify/NotificationHost.h"
#include "notify/Placeholders.h"
#include "platform/HttpGet.h"

#include <QCoreApplication>
#include <QUrl>

void WebNotifier::doHitURL(std::function<void(bool ok)> done)
{
    const NotifySettings& values = m_host.notifySettings();
    if (values.url.isEmpty()) {
        m_host.setStatus(QStringLiteral("Error: Please enter a URL to hit"));
        if (done)
            done(false);
        return;
    }
    const QString url = substitutePlaceholders(values.url, urlPlaceholders(), m_host.internalAddress(),
                                               m_host.externalAddress(), m_host.externalIPv6Address());
    m_host.setStatus(QStringLiteral("Hitting ") + url);
    QCoreApplication::processEvents();  // once, so that the status is painted before the request
    const QUrl parsed(url);
    if (!parsed.isValid()) {
        m_host.setStatus(QStringLiteral("Error: could not hit URL"));
        if (done)
            done(false);
        return;
    }
    // A server that cannot be reached gives an empty body, which is reported like any other.
    const QByteArray body = m_host.http().getURLText(parsed);
    m_host.setStatus(QStringLiteral("Success: ") + QString::fromUtf8(body));
    if (done)
        done(!body.isEmpty());
}
