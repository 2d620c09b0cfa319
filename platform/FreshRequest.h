#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QUrl>

/// A request for @p url that always goes to the server: it is neither answered from nor saved in a local cache,
/// and asks caches on the way not to answer (`Cache-Control: no-cache`, `Pragma: no-cache`). @p userAgent names
/// the agent.
QNetworkRequest freshRequest(const QUrl& url, const QByteArray& userAgent);
