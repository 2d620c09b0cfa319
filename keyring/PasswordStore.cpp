#include "keyring/PasswordStore.h"

#include "core/Settings.h"
#include "platform/OutsideText.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcKeyring, "vistrel.keyring")

namespace {

const char* stateName(int state)
{
    static const char* const names[] = {"NotStarted", "Reading", "Writing", "Idle"};
    return names[state];
}

// The store as the texts name it: "the keyring", "the Credential Manager".
QString theStore()
{
    return QStringLiteral("the ") + SecretStore::storeName();
}

// "mail password" at the start of a line.
QString capitalized(const QString& name)
{
    return name.left(1).toUpper() + name.mid(1);
}

} // namespace

PasswordStore::PasswordStore(QString service, Settings& settings, QObject* parent, Key fileKey,
                             const QString& keyringKey)
    : QObject(parent), m_store(std::move(service), keyringKey), m_settings(settings), m_fileKey(fileKey),
      m_name(keyringKey)
{
    m_timeout.setSingleShot(true);
    m_timeout.setInterval(AnswerTimeoutMs);
    connect(&m_timeout, &QTimer::timeout, this, &PasswordStore::keyringTimedOut);
}

void PasswordStore::setState(State state)
{
    qCDebug(lcKeyring) << "state" << stateName(int(m_state)) << "->" << stateName(int(state));
    m_state = state;
}

void PasswordStore::setPlace(Place place)
{
    if (m_place == place)
        return;
    m_place = place;
    emit placeChanged(place);
}

QString PasswordStore::placeText(const QString& what) const
{
    const QString is = what.endsWith(u's') ? QStringLiteral("are") : QStringLiteral("is"); // "the secrets are"
    switch (m_place) {
    case Place::Unknown:
        // A store not started holds nothing yet (a web request's, before the request exists): nothing to say.
        return m_state == State::NotStarted ? QString() : QStringLiteral("Asking %1 for the %2...").arg(theStore(), what);
    case Place::Keyring:
        return QStringLiteral("The %2 %3 kept in %1").arg(theStore(), what, is);
    case Place::File:
        return QStringLiteral("The %2 %3 kept in the settings, not in %1").arg(theStore(), what, is);
    }
    return QString();
}

void PasswordStore::start()
{
    if (m_state != State::NotStarted)
        return;
    m_password = m_settings.read(m_fileKey);
    emit passwordKnown(m_password);
    setState(State::Reading);
    QString why;
    if (!SecretStore::reachable(&why)) {
        keepInFile(m_password, why);
        setState(State::Idle);
        becomeReady();
        return;
    }
    m_store.read(expectAnswer(&PasswordStore::readFinished));
}

SecretStore::Done PasswordStore::expectAnswer(void (PasswordStore::*handle)(const SecretStore::Answer&))
{
    m_late = false;
    m_timeout.start();
    return [this, handle, id = ++m_call](const SecretStore::Answer& answer) {
        if (id == m_call)
            (this->*handle)(answer);
    };
}

void PasswordStore::readFinished(const SecretStore::Answer& answer)
{
    m_timeout.stop();
    setState(State::Idle);
    const QString fileCopy = m_settings.read(m_fileKey);
    if (answer.result != SecretStore::Result::Ok && answer.result != SecretStore::Result::NotFound) {
        keepInFile(m_pending.value_or(fileCopy), OutsideText::line(answer.message));
        m_pending.reset();
        becomeReady();
        return;
    }
    // A copy in the settings is newer than the store's: it is written only while no store takes it. The place
    // stays unknown until the store confirmed that it holds that copy.
    if (!m_pending && fileCopy.isEmpty()) {
        m_password = answer.secret;
        setPlace(Place::Keyring);
    } else if (!m_pending) {
        m_pending = fileCopy;
    }
    if (m_pending)
        m_password = *m_pending;
    emit passwordKnown(m_password);
    becomeReady();
    runPending();
}

void PasswordStore::save(const QString& password)
{
    // The dialog hands back what it was shown: no change, and during the read not the store's value either.
    if (password == m_password)
        return;
    m_password = password;
    emit passwordKnown(m_password);
    if (m_state == State::Reading || m_state == State::Writing) {
        m_pending = password;
        if (m_late)
            noteHeldInMemory();
        return;
    }
    if (m_place == Place::File) {
        m_settings.write(m_fileKey, password);
        return;
    }
    write(password);
}

void PasswordStore::write(const QString& password)
{
    setState(State::Writing);
    m_writing = password;
    m_store.write(password, expectAnswer(&PasswordStore::writeFinished));
}

void PasswordStore::writeFinished(const SecretStore::Answer& answer)
{
    m_timeout.stop();
    setState(State::Idle);
    if (answer.result != SecretStore::Result::Ok) {
        keepInFile(m_pending.value_or(m_writing), OutsideText::line(answer.message));
        m_pending.reset();
        return;
    }
    // Only now, with the store holding it, may the settings' copy go.
    if (!m_settings.read(m_fileKey).isEmpty()) {
        m_settings.write(m_fileKey, QString());
        qCInfo(lcKeyring).noquote() << m_name << "moved from the settings into" << theStore();
        emit notice(QStringLiteral("%1 moved into %2").arg(capitalized(m_name), theStore()));
    }
    setPlace(Place::Keyring);
    runPending();
}

void PasswordStore::runPending()
{
    if (!m_pending)
        return;
    const QString password = *m_pending;
    m_pending.reset();
    write(password);
}

void PasswordStore::keyringTimedOut()
{
    // The store may be showing the user its own prompt (create or unlock the keyring): its answer is still taken
    // when it comes, but what waits for the password goes on with the one known now.
    qCWarning(lcKeyring).noquote() << theStore() << "did not answer within" << AnswerTimeoutMs
                                   << "ms; still waiting for it";
    m_late = true;
    if (m_state == State::Writing || m_pending)
        noteHeldInMemory();
    if (m_state == State::Reading)
        becomeReady();
}

void PasswordStore::noteHeldInMemory()
{
    if (m_heldNoted)
        return;
    m_heldNoted = true;
    // Not in the settings: should the store take it, no copy readable in a file would be left behind.
    emit notice(QStringLiteral("%1 kept in memory until %2 answers").arg(capitalized(m_name), theStore()));
}

void PasswordStore::keepInFile(const QString& password, const QString& reason)
{
    m_password = password;
    emit passwordKnown(m_password);
    if (m_settings.read(m_fileKey) != password)
        m_settings.write(m_fileKey, password);
    // One line, once per run: no store call is tried again after this.
    qCInfo(lcKeyring).noquote() << m_name << "kept in the settings, not in" << theStore() + QLatin1Char(':')
                                << reason;
    if (!password.isEmpty()) // without a password there is nothing to warn about
        emit notice(
            QStringLiteral("%1 kept in the settings, not in %2 (%3)").arg(capitalized(m_name), theStore(), reason));
    setPlace(Place::File);
}

void PasswordStore::becomeReady()
{
    m_ready = true;
    auto waiting = std::move(m_waiting);
    m_waiting.clear();
    for (auto& [context, ready] : waiting) {
        if (context)
            ready();
    }
}

void PasswordStore::whenReady(const QObject* context, std::function<void()> ready)
{
    if (m_ready) {
        ready();
        return;
    }
    m_waiting.emplace_back(context, std::move(ready));
}
