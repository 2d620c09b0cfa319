#pragma once

#include <QObject>
#include <QString>

/// The operating system's requests to end or to read the settings again, as Qt signals (on Linux SIGTERM, SIGINT
/// and SIGHUP: the handler only writes the signal's number into a socket pair that the event loop reads, so nothing
/// but write(2) runs in signal context and nothing polls). One instance per process.
class UnixSignals : public QObject
{
    Q_OBJECT
public:
    explicit UnixSignals(QObject* parent = nullptr);
    ~UnixSignals() override;

    /// Installs the handlers. Returns false and fills @p error when they cannot be installed.
    [[nodiscard]] bool start(QString* error);

signals:
    /// End cleanly (SIGTERM or SIGINT).
    void terminate();
    /// Read the settings again (SIGHUP).
    void reload();
};
