#include "keyring/PasswordStore.h"

#include "core/Settings.h"
#include "platform/OutsideText.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <qt6keychain/keychain.h>

Q_LOGGING_CATEGORY(lcKeyring, "vistrel.keyring")

namespace {

const char* stateName(int state)
{
    static const char* const names[] = {"NotStarted", "Reading", "Writing", "Idle"};
    return names[state];
}

template <typename J> J* newJob(const QString& service)
{
    auto* job = new J(service);
    job->setAutoDelete(true);
    job->setInsecureFallback(false); // QtKeychain's own plain-text fallback would be a second, hidden copy
    job->setKey(QLatin1String(PasswordStore::KeyringKey));
    return job;
}

bool hasSessionBus()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
           (!runtime.isEmpty() && QFileInfo(QFile::decodeName(runtime) + QStringLiteral("/bus")).exists());
}

} // namespace

PasswordStore::PasswordStore(QString service, Settings& settings, QObject* parent)
    : QObject(parent), m_service(std::move(service)), m_settings(settings)
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

QString PasswordStore::placeText() const
{
    switch (m_place) {
    case Place::Unknown:
        return QStringLiteral("Asking the keyring for the password...");
    case Place::Keyring:
        return QStringLiteral("Password kept in the keyring");
    case Place::File:
        return QStringLiteral("Password kept in the settings file (no keyring found)");
    }
    return QString();
}

void PasswordStore::start()
{
    if (m_state != State::NotStarted)
        return;
    m_password = m_settings.read(Key::MailPassword);
    emit passwordKnown(m_password);
    setState(State::Reading);
    if (!hasSessionBus()) {
        // Asking would make the D-Bus library launch a bus of its own, with the user's keyring behind it.
        keepInFile(m_password, QStringLiteral("no session bus"));
        setState(State::Idle);
        becomeReady();
        return;
    }
    auto* job = newJob<QKeychain::ReadPasswordJob>(m_service);
    connect(job, &QKeychain::Job::finished, this, [this, id = m_job + 1](QKeychain::Job* done) {
        if (id == m_job)
            readFinished(done);
    });
    startJob(job);
}

void PasswordStore::startJob(QKeychain::Job* job)
{
    ++m_job;
    m_timeout.start();
    job->start();
}

void PasswordStore::readFinished(QKeychain::Job* job)
{
    m_timeout.stop();
    setState(State::Idle);
    const QString fileCopy = m_settings.read(Key::MailPassword);
    if (job->error() != QKeychain::NoError && job->error() != QKeychain::EntryNotFound) {
        keepInFile(m_pending.value_or(fileCopy), OutsideText::line(job->errorString()));
        m_pending.reset();
        becomeReady();
        return;
    }
    // A copy in the file is newer than the keyring's: it is written only while no keyring takes it. The place
    // stays unknown until the keyring confirmed that it holds that copy.
    if (!m_pending && fileCopy.isEmpty()) {
        m_password = static_cast<QKeychain::ReadPasswordJob*>(job)->textData();
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
    // The dialog hands back what it was shown: no change, and during the read not the keyring's value either.
    if (password == m_password)
        return;
    m_password = password;
    emit passwordKnown(m_password);
    if (m_state == State::Reading || m_state == State::Writing) {
        m_pending = password;
        return;
    }
    if (m_place == Place::File) {
        m_settings.write(Key::MailPassword, password);
        return;
    }
    write(password);
}

void PasswordStore::write(const QString& password)
{
    setState(State::Writing);
    m_writing = password;
    auto* job = newJob<QKeychain::WritePasswordJob>(m_service);
    job->setTextData(password);
    connect(job, &QKeychain::Job::finished, this, [this, id = m_job + 1](QKeychain::Job* done) {
        if (id == m_job)
            writeFinished(done, m_writing);
    });
    startJob(job);
}

void PasswordStore::writeFinished(QKeychain::Job* job, const QString& written)
{
    m_timeout.stop();
    setState(State::Idle);
    if (job->error() != QKeychain::NoError) {
        keepInFile(m_pending.value_or(written), OutsideText::line(job->errorString()));
        m_pending.reset();
        return;
    }
    // Only now, with the keyring holding it, may the file's copy go.
    if (!m_settings.read(Key::MailPassword).isEmpty()) {
        m_settings.write(Key::MailPassword, QString());
        qCInfo(lcKeyring) << "mail password moved from the settings file into the keyring";
        emit notice(QStringLiteral("Mail password moved into the keyring"));
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
    // QtKeychain runs its jobs one after another: behind a job that never ends no other would run either.
    qCWarning(lcKeyring) << "the keyring did not answer within" << AnswerTimeoutMs << "ms";
    const State was = m_state;
    ++m_job; // its answer, should it come, is not waited for any more
    setState(State::Idle);
    keepInFile(m_pending.value_or(was == State::Writing ? m_writing : m_password), QStringLiteral("no answer"));
    m_pending.reset();
    if (was == State::Reading)
        becomeReady();
}

void PasswordStore::keepInFile(const QString& password, const QString& reason)
{
    m_password = password;
    emit passwordKnown(m_password);
    if (m_settings.read(Key::MailPassword) != password)
        m_settings.write(Key::MailPassword, password);
    // One line, once per run: no keyring call is tried again after this.
    qCInfo(lcKeyring).noquote() << "mail password kept in the settings file: keyring unavailable:" << reason;
    if (!password.isEmpty()) // without a password there is nothing to warn about
        emit notice(QStringLiteral("Mail password kept in the settings file: no keyring (%1)").arg(reason));
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
