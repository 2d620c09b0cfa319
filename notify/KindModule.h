#pragma once

class KindNotifier;
class NotificationHost;

/// A kind whose library is big is built as a module of its own, loaded when it is first used: a switched-off kind
/// then costs a run nothing. The module exports one function under the name KindModuleEntry, of this type, that
/// makes its notifier for @p host (the caller owns it). The module takes the project's code it shares with the
/// executable (notify/, core/) from the executable.
using MakeKindNotifier = KindNotifier* (*)(NotificationHost& host);
inline constexpr char KindModuleEntry[] = "vistrelMakeKindNotifier";
