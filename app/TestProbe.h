#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>

/// For the long-run tests only, switched on by the environment (never by a setting):
/// VISTREL_TEST_PROBE=<file> appends, every ten seconds, how late a 100 ms timer fired at worst
/// (how long the event loop was busy) and the resident memory, as "probe <ms> <KiB>" lines.
class TestProbe : public QObject
{
    Q_OBJECT
public:
    /// Starts a probe when the environment asks for one; otherwise returns nullptr and costs nothing.
    static TestProbe* startFromEnvironment(QObject* parent);

private:
    TestProbe(const QString& path, QObject* parent);
    void tick();
    void report();

    QFile m_file;
    QTimer m_tick;
    QTimer m_report;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worstLateMs = 0;
};
