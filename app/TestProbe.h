#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>

/// For the long-run tests only (see TestHooks.cpp): appends to a file, every ten seconds, how late a 100 ms timer fired
/// at worst (how long the event loop was busy) and the resident memory, as "probe <ms> <KiB>" lines.
class TestProbe : public QObject
{
    Q_OBJECT
public:
    TestProbe(const QString& path, QObject* parent);

private:
    void tick();
    void report();

    QFile m_file;
    QTimer m_tick;
    QTimer m_report;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worstLateMs = 0;
};
