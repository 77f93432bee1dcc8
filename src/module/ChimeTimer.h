#pragma once
// The chime timer on the host window: arming, stopping and its callback.
#include "module/ChimeModule.h"

namespace tolltone {

int ArmChimeTimer(ChimeModule& module);
BOOL StopChimeTimer(const ChimeModule& module);

} // namespace tolltone
