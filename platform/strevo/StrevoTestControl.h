// Test steering of the stand-in engine; exported for tests only.
//
//   StrevoTestControl("refuse StartSend", ...)   the next call of that operation answers false
//   StrevoTestControl("report 42", ...)          every live engine reports 42 from its own thread;
//                                                returns once the reports were delivered
//   StrevoTestControl("burst 10000", ...)        every live engine reports 0, 1, ... 9999 from its own
//                                                thread as fast as they are taken; returns at once
//   StrevoTestControl("replace-threads", ...)    every live engine ends its thread and starts another;
//                                                returns once the old ones have ended
//   StrevoTestControl("interval 50", ...)        periodic reports while sending, every 50 ms (0: none)
//   StrevoTestControl("ready <text>", ...)       the ready text (default "ready")
//   StrevoTestControl("log", reply, size)        the call log, one call a line (the latest 10000)
//   StrevoTestControl("clear", ...)              empties the call log
//   StrevoTestControl("engines", reply, size)    the number of live engines
//
// Returns 0 when the command was understood, 1 otherwise. The reply is zero-terminated
// and cut to its size; a null reply is allowed.
#pragma once

#include "Strevo.h"

extern "C" STREVO_API int StrevoTestControl(const char* command, char* reply, int replySize);

static_assert(Abi::hasType<int (*)(const char*, char*, int)>(&StrevoTestControl));
