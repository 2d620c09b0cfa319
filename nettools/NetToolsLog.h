#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcNetTools)
Q_DECLARE_LOGGING_CATEGORY(lcWhois)
