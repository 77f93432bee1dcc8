#include "module/SettingsLookAhead.h"

#include "module/ModuleSettings.h"
#include "scheduler/ChimeRules.h"
#include "win32/ModuleWorker.h"

namespace tolltone {
namespace {

// Ticks on the second come more than once a minute (the check after the
// boundary, looks for an image): one look serves them all.
constexpr uint64_t LookEveryMs = 30'000;

// Under the worker's lock: the look asked for, and the one found.
struct LookSlot {
    bool asked = false;
    bool found = false;
    SettingsPath path;
    SettingsFileStamp known;
    OptionalKeyNames names;
    SettingsLook look;
};

constinit LookSlot Slot{};

bool SameFileStamp(const SettingsFileStamp& a, const SettingsFileStamp& b) {
    return a.known == b.known && a.exists == b.exists && a.writeTime == b.writeTime && a.size == b.size;
}

bool ChimesAtAll(const ChimeModule& module) { return module.Enable != 0 && module.Interval != NoChime; }

// The worker's job.
bool LookAtTheFile() {
    SettingsPath path;
    SettingsFileStamp known;
    OptionalKeyNames names;
    {
        const worker::Locked locked;
        if (worker::Stopping() || !Slot.asked) return false;
        Slot.asked = false;
        path = Slot.path;
        known = Slot.known;
        names = Slot.names;
    }
    const SettingsLook look = LookAtSettingsFile(path, known, names);
    const worker::Locked locked;
    Slot.look = look;
    Slot.found = true;
    return true;
}

} // namespace

void ApplySettingsLook(ChimeModule& module) {
    SettingsLook look;
    {
        const worker::Locked locked;
        if (!Slot.found) return;
        Slot.found = false;
        look = Slot.look;
    }
    // A save or a read since the look was asked for stamped the file anew.
    if (!ChimesAtAll(module) || !SameFileStamp(look.basis, module.SettingsStamp)) return;
    switch (look.result) {
    case LookResult::Changed:
        module.Quiet = look.quiet;
        module.Sounds = look.sounds;
        module.SettingsStamp = look.stamp;
        ApplyOptionalChanges(module.PendingOptional, module);
        break;
    case LookResult::Foreign: RefreshOptionalKeys(module); break;  // turned here: a save is the host's
    case LookResult::Unchanged:
    case LookResult::Failed: break;
    }
}

void LookAheadAtSettings(ChimeModule& module, bool afterTick) {
    if (!ChimesAtAll(module) || !module.SettingsFile.valid) return;
    const uint64_t now = ::GetTickCount64();
    if (afterTick) {
        if (module.LookAsked && now - module.LookAskedMs < LookEveryMs) return;
        module.LookAsked = true;
        module.LookAskedMs = now;
    }
    {
        const worker::Locked locked;
        Slot.asked = true;
        Slot.found = false;
        Slot.path = module.SettingsFile;
        Slot.known = module.SettingsStamp;
        Slot.names = module.OptionalNames;
    }
    if (worker::Wake(&LookAtTheFile)) return;
    {
        const worker::Locked locked;
        Slot.asked = false;
    }
    RefreshOptionalKeys(module);
}

} // namespace tolltone
