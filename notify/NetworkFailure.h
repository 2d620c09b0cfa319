#pragma once

#include <QDateTime>
#include <QNetworkReply>
#include <QString>

/// What happened when no HTTP answer came, in plain words: "the server refused the connection", "no answer within
/// 30 seconds" (@p timeoutMs is the transfer's time-out) ...
QString networkFailureText(QNetworkReply::NetworkError error, int timeoutMs);

/// When a server that answered 429 or 503 asks to be asked again (its Retry-After, in seconds or as an HTTP date);
/// invalid for any other answer or a value that is neither.
QDateTime retryAfterTime(QNetworkReply* reply);
