#pragma once

#include <QString>

/// The system's text for the Win32 or Winsock error code @p code.
QString systemErrorText(long code);
