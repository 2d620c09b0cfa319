#include "app/TestHooks.h"

void TestHooks::install(RefreshCycle&, QObject*) {}

int TestHooks::onceLimitMs(int normal)
{
    return normal;
}
