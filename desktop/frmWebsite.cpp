#include "desktop/frmWebsite.h"

#include "core/ProductInfo.h"

#include <QLoggingCategory>
#include <QTimer>

Q_LOGGING_CATEGORY(lcWebsite, "vistrel.desktop.website")

frmWebsite::frmWebsite(QString& websitePage, UrlOpener opener, QObject* parent)
    : QObject(parent), m_websitePage(websitePage), m_opener(std::move(opener))
{
    setObjectName(QStringLiteral("frmWebsite"));
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &frmWebsite::Timer1_Timer);
}

QString frmWebsite::websiteUrl(const QString& website)
{
    if (website.contains(QStringLiteral("https://"), Qt::CaseInsensitive) ||
        website.contains(QStringLiteral("http://"), Qt::CaseInsensitive))
        return website;
    return QStringLiteral("http://") + website;
}

void frmWebsite::Form_Load()
{
    Timer1->start();
    const ProductInfo& product = LoadProductInfo();
    if (m_websitePage != QStringLiteral("Website"))
        return;
    const QString url = websiteUrl(product.website);
    qCDebug(lcWebsite) << "opening" << url;
    if (m_opener)
        m_opener(QUrl(url));  // the browser's answer is not examined
    m_websitePage.clear();
}

void frmWebsite::Timer1_Timer()
{
    Timer1->stop();
    emit unloaded();
    deleteLater();
}
