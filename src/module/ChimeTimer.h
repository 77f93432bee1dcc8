#pragma once
// The chime timer on the host window: arming, stopping and its callback.
#include "module/ChimeModule.h"

namespace tolltone {

int ArmChimeTimer(ChimeModule& module);
// Kills the timer on the window it was set on; non-zero when one was stopped.
BOOL StopChimeTimer(ChimeModule& module);

} // namespace tolltone
