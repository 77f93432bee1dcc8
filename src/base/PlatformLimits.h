#pragma once
// Limits of the platform that every folder of the module shares.

namespace tolltone {

inline constexpr int PathUnits = 260;  // the platform's path limit, terminator included

} // namespace tolltone
