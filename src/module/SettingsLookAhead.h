#pragma once
// The minute's look at the settings file for hand edits of the optional keys,
// made by the module's worker: asked for after a tick, applied by the next one,
// so the host's thread never waits for the file's folder (a redirected folder
// on a share, a disk spinning up).
#include "module/ChimeModule.h"

namespace tolltone {

// Before a tick decides: the keys the last look found, if the file changed and
// nothing the module did since (a save, a read) makes the look stale. Nothing
// at all while no minute can chime.
void ApplySettingsLook(ChimeModule& module);

// A look at the file: after a tick at most about once a minute (ticks on the
// second come more often), and at every arming (a start, OK), which leaves the
// next tick free to ask again. Without a worker to be had, the look is made
// here, as before there was one.
void LookAheadAtSettings(ChimeModule& module, bool afterTick);

} // namespace tolltone
