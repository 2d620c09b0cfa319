#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

/// SIGTERM, SIGINT and SIGHUP as Qt signals. The handler only writes the signal's number into a socket pair;
/// the event loop reads it, so nothing but write(2) runs in signal context and nothing polls.
/// One instance per process.
class UnixSignals : public QObject
{
    Q_OBJECT
public:
    explicit UnixSignals(QObject* parent = nullptr);
    ~UnixSignals() override;

    /// Installs the handlers. Returns false and fills @p error when the socket pair or a handler cannot be made.
    [[nodiscard]] bool start(QString* error);

signals:
    /// SIGTERM or SIGINT: end cleanly.
    void terminate();
    /// SIGHUP: read the settings again.
    void reload();

private:
    void readPending();

    QSocketNotifier* m_notifier = nullptr;
};
