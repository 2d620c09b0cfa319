#pragma once

#include "core/SettingsKeys.h"
#include "platform/SecretStore.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

class Settings;

/// Where one secret (the mail password, a token, a key) lives: in the system's password store (platform/SecretStore:
/// a keyring on Linux, Credential Manager on Windows) when one answers, in its settings key otherwise (strPassword
/// for the mail password).
///
/// Every store call is asynchronous and none is ever repeated: a store that fails leaves the password in the settings
/// for the rest of the run. One that has not answered within AnswerTimeoutMs (it may be asking the user to create or
/// unlock it) is waited for still, but no longer waited on: what was read is ready for use, and a password saved
/// meanwhile is kept in memory (and used) until the store takes it or refuses it; only then may it reach the
/// settings. The settings' copy is cleared only after the store confirmed that it holds the same password, so a
/// password is never lost while the program runs.
class PasswordStore : public QObject
{
    Q_OBJECT
public:
    enum class Place
    {
        Unknown, // the store has not answered yet
        Keyring, // the system's password store
        File,    // the settings
    };

    static constexpr const char* KeyringKey = "mail password";
    static constexpr int AnswerTimeoutMs = 10000;

    /// @p service names the entry in the store (the product name); the settings are @p settings. The secret is
    /// @p keyringKey in the store and @p fileKey in the settings (a key marked Secret::Yes).
    PasswordStore(QString service, Settings& settings, QObject* parent = nullptr, Key fileKey = Key::MailPassword,
                  const QString& keyringKey = QLatin1String(KeyringKey));

    /// Reads the password from the store and moves a copy found in the settings into it. Returns at once.
    void start();

    /// Runs @p ready once the password is known (at once when it is), unless @p context is gone by then. Until
    /// then the password is the settings'.
    void whenReady(const QObject* context, std::function<void()> ready);
    bool isReady() const { return m_ready; }

    /// The password as last read or saved.
    const QString& password() const { return m_password; }

    /// Keeps a password the user entered: in the store, in the settings when the store refuses it.
    void save(const QString& password);

    Place place() const { return m_place; }
    /// The settings key that holds the secret where no keyring does.
    Key fileKey() const { return m_fileKey; }
    /// One line for the window: where the secret (called @p what: "password", "key secret") is kept; empty before
    /// start().
    QString placeText(const QString& what = QStringLiteral("password")) const;

signals:
    /// The password it holds was read or saved (emitted whenever it is known anew, changed or not).
    void passwordKnown(const QString& password);
    void placeChanged(PasswordStore::Place place);
    /// A line for the status bar when the store could not be used, is late with a password held in memory, or took
    /// the password over. Never the password.
    void notice(const QString& text);

private:
    enum class State
    {
        NotStarted,
        Reading,
        Writing,
        Idle,
    };

    void setState(State state);
    void setPlace(Place place);
    SecretStore::Done expectAnswer(void (PasswordStore::*handle)(const SecretStore::Answer&));
    void readFinished(const SecretStore::Answer& answer);
    void writeFinished(const SecretStore::Answer& answer);
    void keyringTimedOut();
    void noteHeldInMemory();
    void write(const QString& password);
    void keepInFile(const QString& password, const QString& reason);
    void becomeReady();
    void runPending();

    SecretStore m_store;
    Settings& m_settings;
    Key m_fileKey;
    QString m_name; // its entry in the store: "mail password", "DNS API token"; for the log and the notices
    State m_state = State::NotStarted;
    Place m_place = Place::Unknown;
    QString m_password;
    QString m_writing;                // the password the write in flight carries
    std::optional<QString> m_pending; // a save asked for while a job was in flight: the newest only
    QTimer m_timeout;
    quint64 m_call = 0; // answers of calls given up on carry an older number
    bool m_ready = false;
    bool m_late = false;      // the call under way outlasted AnswerTimeoutMs
    bool m_heldNoted = false; // the notice that a password waits in memory was given
    std::vector<std::pair<QPointer<const QObject>, std::function<void()>>> m_waiting;
};
