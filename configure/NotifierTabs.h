#pragma once

#include "configure/KindTab.h"

/// The tabs of the notifications the program has always had (mail, program, web), in the order they are shown.
QList<KindTabDescription> firstNotifierTabs();
/// The tabs of the notifications added since, each with a folder of its own, in the order they are shown (the DNS
/// hosts, with several entries, have a pane of their own after them).
QList<KindTabDescription> notifierTabs();
