#pragma once

#include <QNetworkReply>
#include <QString>

/// What happened when no HTTP answer came, in plain words: "the server refused the connection", "no answer within
/// 30 seconds" (@p timeoutMs is the transfer's time-out) ...
QString networkFailureText(QNetworkReply::NetworkError error, int timeoutMs);
