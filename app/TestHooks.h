#pragma once

class QObject;
class RefreshCycle;

/// What the end-to-end tests change in a running program. The installed executables link NoTestHooks.cpp, which
/// does nothing; the test builds in build/testing/ link TestHooks.cpp, which reads the test environment.
namespace TestHooks {
/// Called once the watcher exists: may fix @p refresh to a short interval and start a probe owned by @p owner.
void install(RefreshCycle& refresh, QObject* owner);
/// How long --once may take before what is left is given up: @p normal, or a test's shorter time.
int onceLimitMs(int normal);
} // namespace TestHooks
