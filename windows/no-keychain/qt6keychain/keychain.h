#pragma once

// For a Windows build whose dependency cache has no QtKeychain (its source could not be fetched): the part of
// QtKeychain's interface that the program uses, with no backend, answering every job as QtKeychain does when it
// finds none. The mail password then stays in the settings store, as on a Linux desktop without a keyring.

#include <QObject>
#include <QString>
#include <QTimer>

namespace QKeychain {

enum Error
{
    NoError = 0,
    EntryNotFound,
    CouldNotDeleteEntry,
    AccessDeniedByUser,
    AccessDenied,
    NoBackendAvailable,
    NotImplemented,
    OtherError
};

class Job : public QObject
{
    Q_OBJECT
public:
    explicit Job(const QString& service) : m_service(service) {}
    void start()
    {
        QTimer::singleShot(0, this, [this] {
            emit finished(this);
            if (m_autoDelete)
                deleteLater();
        });
    }
    Error error() const { return NoBackendAvailable; }
    QString errorString() const { return QStringLiteral("this build has no keyring"); }
    void setAutoDelete(bool autoDelete) { m_autoDelete = autoDelete; }
    void setInsecureFallback(bool) {}
    void setKey(const QString&) {}

signals:
    void finished(QKeychain::Job* job);

private:
    QString m_service;
    bool m_autoDelete = true;
};

class ReadPasswordJob : public Job
{
    Q_OBJECT
public:
    using Job::Job;
    QString textData() const { return QString(); }
};

class WritePasswordJob : public Job
{
    Q_OBJECT
public:
    using Job::Job;
    void setTextData(const QString&) {}
};

} // namespace QKeychain
