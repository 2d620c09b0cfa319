// The hooks of the test builds, switched on by the environment:
// VISTREL_TEST_REFRESH_SECONDS=<n> looks up every n seconds whatever the settings say;
// VISTREL_TEST_PROBE=<file> starts a TestProbe that writes to that file;
// VISTREL_TEST_ONCE_LIMIT_MS=<n> gives --once n milliseconds in all.
#include "app/TestHooks.h"

#include "core/RefreshCycle.h"
#include "app/TestProbe.h"

void TestHooks::install(RefreshCycle& refresh, QObject* owner)
{
    if (const int seconds = qEnvironmentVariableIntValue("VISTREL_TEST_REFRESH_SECONDS"); seconds > 0)
        refresh.setTestInterval(seconds);
    if (const QString path = qEnvironmentVariable("VISTREL_TEST_PROBE"); !path.isEmpty())
        new TestProbe(path, owner);
}

int TestHooks::onceLimitMs(int normal)
{
    const int ms = qEnvironmentVariableIntValue("VISTREL_TEST_ONCE_LIMIT_MS");
    return ms > 0 ? ms : normal;
}
