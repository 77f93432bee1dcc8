#pragma once
// What the platform says about the user right now: busy, away, or neither.
#include "scheduler/QuietRules.h"

namespace tolltone {

UserActivity QueryWin32UserActivity();

} // namespace tolltone
