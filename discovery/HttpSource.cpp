#include "discovery/HttpSource.h"

HttpSource::HttpSource(const QUrl& url, QString uri, QObject* parent)
    : AddressSource(std::move(uri), parent)
    , m_url(url)
{
}

HttpSource::~HttpSource() = default;

void HttpSource::start(int timeoutMs)
{
    Q_UNUSED(timeoutMs);
    QMetaObject::invokeMethod(this, [this] { emit failed(QStringLiteral("not implemented")); }, Qt::QueuedConnection);
}

void HttpSource::cancel()
{
}
