#include "desktop/DesktopNotice.h"

#include "core/ProductInfo.h"
#include "desktop/modIcon.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcNotice, "vistrel.desktop.notice")

namespace {

const QString Summary = QStringLiteral("IP address changed");
const QString IconName = QStringLiteral("tarnwick-ip-vistrel");

} // namespace

DesktopNotice::DesktopNotice(QObject* parent) : QObject(parent)
{
}

QString DesktopNotice::body(const QList<AddressChange>& changes)
{
    QStringList lines;
    for (const AddressChange& change : changes)
        lines << QStringLiteral("%1: %2 \u2192 %3").arg(change.name, change.before, change.after);
    return lines.join(QLatin1Char('\n'));
}

QString DesktopNotice::iconForService() const
{
    // An installed icon goes by its name; run from the build folder, the service gets a file it can read.
    if (!QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                QStringLiteral("icons/hicolor/48x48/apps/%1.png").arg(IconName))
             .isEmpty())
        return IconName;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    const QString path = folder + QStringLiteral("/%1-48.png").arg(IconName);
    if (QFile::exists(path) || (QDir().mkpath(folder) && productIcon().pixmap(48, 48).save(path, "PNG")))
        return path;
    return IconName;
}

void DesktopNotice::show(const QList<AddressChange>& changes)
{
    show(Summary, body(changes));
}

void DesktopNotice::show(const QString& summary, const QString& text)
{
    if (!m_service.reachable())
        return failed(summary, text, QStringLiteral("no session bus"));

    const NoticeService::Notice notice{
        LoadProductInfo().productName, m_shownId, iconForService(), summary, text, IconName};
    m_service.show(notice, ReplyTimeoutMs, [this, summary, text](uint id, const QString& error) {
        if (!error.isEmpty())
            return failed(summary, text, error);
        m_shownId = id;
        qCDebug(lcNotice) << "desktop notice" << m_shownId << "shown";
        emit finished(m_shownId, true);
    });
}

void DesktopNotice::failed(const QString& summary, const QString& body, const QString& why)
{
    const bool shown = m_fallback && m_fallback(summary, body);
    if (!shown)
        qCDebug(lcNotice) << "desktop notice not shown:" << why;
    emit finished(0, shown);
}
