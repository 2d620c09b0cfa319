#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QUrl>

#include <optional>

/// The OAuth 2 sign-in of a service account with its key file: a JWT naming the account and the scope, signed with
/// the account's RSA key (RS256), exchanged at the key's token URI for an access token.
namespace ServiceAccountToken {
inline constexpr const char* DefaultTokenUri = "https://oauth2.googleapis.com/token";

struct Key
{
    QString clientEmail;
    QByteArray privateKey; ///< PEM
    QUrl tokenUri;         ///< the key file's, when it is https (or http on this machine); else DefaultTokenUri
};

/// The fields of a key file (JSON with client_email, private_key, token_uri); nothing when it is not one.
std::optional<Key> read(const QString& keyFile);

/// The signed JWT asking @p scope for an hour from @p now, for the token URI; empty when the key cannot sign.
QByteArray assertion(const Key& key, const QString& scope, const QDateTime& now);

/// The body of the token request (a form) for @p assertion.
QByteArray requestBody(const QByteArray& assertion);
} // namespace ServiceAccountToken
