#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

class Settings;

namespace QKeychain {
class Job;
}

/// Where the mail password lives: in the desktop's keyring (the Secret Service, through QtKeychain) when one
/// answers, in the settings file (key strPassword) otherwise.
///
/// Every keyring call is asynchronous and none is ever repeated: a keyring that fails or does not answer
/// within AnswerTimeoutMs leaves the password in the settings file for the rest of the run. The file's copy is
/// cleared only after the keyring confirmed that it holds the same password, so a password is never lost.
class PasswordStore : public QObject
{
    Q_OBJECT
public:
    enum class Place
    {
        Unknown, // the keyring has not answered yet
        Keyring,
        File,
    };

    static constexpr const char* KeyringKey = "mail password";
    static constexpr int AnswerTimeoutMs = 10000;

    /// @p service names the entry in the keyring (the product name); the settings file is @p settings.
    PasswordStore(QString service, Settings& settings, QObject* parent = nullptr);

    /// Reads the password from the keyring and moves a copy found in the settings file into it. Returns at once.
    void start();

    /// Runs @p ready once the password is known (at once when it is), unless @p context is gone by then. Until
    /// then the password is the settings file's.
    void whenReady(const QObject* context, std::function<void()> ready);
    bool isReady() const { return m_ready; }

    /// The password as last read or saved.
    const QString& password() const { return m_password; }

    /// Keeps a password the user entered: in the keyring, in the settings file when the keyring refuses it.
    void save(const QString& password);

    Place place() const { return m_place; }
    /// One line for the window: where the password is kept.
    QString placeText() const;

signals:
    /// The password it holds was read or saved (emitted whenever it is known anew, changed or not).
    void passwordKnown(const QString& password);
    void placeChanged(PasswordStore::Place place);
    /// A line for the status bar when the keyring could not be used or took the password over. Never the password.
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
    void startJob(QKeychain::Job* job);
    void readFinished(QKeychain::Job* job);
    void writeFinished(QKeychain::Job* job, const QString& written);
    void keyringTimedOut();
    void write(const QString& password);
    void keepInFile(const QString& password, const QString& reason);
    void becomeReady();
    void runPending();

    QString m_service;
    Settings& m_settings;
    State m_state = State::NotStarted;
    Place m_place = Place::Unknown;
    QString m_password;
    QString m_writing;                // the password the write in flight carries
    std::optional<QString> m_pending; // a save asked for while a job was in flight: the newest only
    QTimer m_timeout;
    quint64 m_job = 0; // answers of jobs given up on carry an older number
    bool m_ready = false;
    std::vector<std::pair<QPointer<const QObject>, std::function<void()>>> m_waiting;
};
