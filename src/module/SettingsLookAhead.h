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

// After a tick: a look at the file, at most about once a minute. Without a
// worker to be had, the look is made here, as before there was one.
void LookAheadAtSettings(ChimeModule& module);

} // namespace tolltone
