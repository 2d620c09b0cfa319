#pragma once

#include <QObject>
#include <QString>

#include <functional>

/// One secret in the system's password store: on Linux a Secret Service on the session bus (GNOME Keyring,
/// KWallet), on Windows the Credential Manager. Every call returns at once; its answer comes back through the
/// callback, once and never before the call has returned, unless this object goes first. An answer's message
/// never holds the secret.
class SecretStore : public QObject
{
    Q_OBJECT
public:
    enum class Result
    {
        Ok,       ///< read: the secret was found; write: stored; remove: removed
        NotFound, ///< the store holds no such secret
        NoStore,  ///< no store answers (none running, none installed)
        Refused,  ///< the store or the user said no (locked, access denied)
        Error,    ///< anything else: the message says what
    };
    Q_ENUM(Result)
    struct Answer
    {
        Result result = Result::Error;
        QString secret;  ///< what read() found; empty for anything else
        QString message; ///< why, for NoStore, Refused and Error, in the store's own words
    };
    using Done = std::function<void(const Answer& answer)>;

    /// The secret named @p key of @p service (the product name).
    SecretStore(QString service, QString key, QObject* parent = nullptr);

    /// The store as a user knows it, without article: "keyring" on Linux, "Credential Manager" on Windows.
    [[nodiscard]] static QString storeName();

    /// Whether a store can be asked at all, and if not, @p why. On Linux: whether there is a session bus (asking
    /// without one would make the D-Bus library launch a bus of its own, with the user's keyring behind it).
    [[nodiscard]] static bool reachable(QString* why);

    void read(Done done);
    void write(const QString& secret, Done done);
    void remove(Done done);

private:
    QString m_service;
    QString m_key;
};
