#pragma once

#include "configure/KindTab.h"

/// The tabs of the notifications that have one each, in the order they are shown.
QList<KindTabDescription> notifierTabs();
