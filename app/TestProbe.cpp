#include "app/TestProbe.h"

#include "platform/ProcessMemory.h"

#include <QTextStream>

namespace {
constexpr int TickMs = 100;
} // namespace

TestProbe::TestProbe(const QString& path, QObject* parent) : QObject(parent), m_file(path)
{
    m_file.open(QIODevice::Append | QIODevice::Text);
    m_clock.start();
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, &TestProbe::tick);
    connect(&m_report, &QTimer::timeout, this, &TestProbe::report);
    m_tick.start(TickMs);
    m_report.start(10000);
    report();
}

void TestProbe::tick()
{
    const qint64 now = m_clock.elapsed();
    if (m_last != 0)
        m_worstLateMs = std::max(m_worstLateMs, now - m_last - TickMs);
    m_last = now;
}

void TestProbe::report()
{
    QTextStream(&m_file) << "probe " << m_worstLateMs << ' ' << ProcessMemory::residentKiB() << '\n';
    m_file.flush();
    m_worstLateMs = 0;
}
