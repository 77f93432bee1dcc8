#pragma once
// The one module-state record: the persisted settings and the run-time state.
#include "scheduler/SignalTick.h"
#include "settings/ChimeSettings.h"
#include "settings/OptionalSettings.h"
#include "settings/SettingsFile.h"

#include <windows.h>

namespace tolltone {

// The minute's look at the settings file: asked for by the host's thread, made
// by the worker, under the worker's lock.
struct LookSlot {
    bool asked = false;
    bool found = false;
    SettingsPath path;
    SettingsFileStamp known;
    OptionalKeyNames names;
    SettingsLook look;
};

struct ChimeModule : ChimeSettings {
    int32_t PortableMode = 0;
    HINSTANCE Instance = nullptr;
    HWND ParentWindow = nullptr;
    int16_t LastMinute = -1;
    // The chime on the second: the minute last served, and a sound started
    // ahead of its minute waiting for the check after the boundary.
    SignalState Signal;
    // Unload saves only settings that were loaded (or confirmed by the user): a
    // host that unloads before InitialLoad must not overwrite a stored file with
    // the defaults.
    bool SettingsLoaded = false;
    // The settings could not be read at InitialLoad (another program held the
    // file or a crashed save's copy, an I/O error): the record holds defaults,
    // nothing is saved, and each minute runs the start's read again until it
    // succeeds.
    bool SettingsUnread = false;
    // While unread: the five the user changed in the dialog (ChimeKey bits). Only
    // they are saved over the file; the record's others are defaults.
    unsigned ChosenKeys = 0;
    // The window the chime timer was set on; null when none is set. Stopping
    // always goes to this window, whatever the host has handed over since.
    HWND TimerWindow = nullptr;
    // The settings file of the current mode and the texts a save writes, found
    // ahead (InitialLoad, SetPortableMode, ChangePortableMode): the save at
    // unload runs under the loader lock and must not call the shell there.
    SettingsPath SettingsFile;
    SettingsTexts Texts;
    // The settings file's stamp when the module last read or wrote it: a chime
    // minute reads the optional keys again only after a change.
    SettingsFileStamp SettingsStamp;
    // The optional keys' names, loaded with SettingsFile: the minute's look at
    // the file runs off the host's thread and loads no string there.
    OptionalKeyNames OptionalNames;
    // When the last look at the file was asked for (GetTickCount64).
    uint64_t LookAskedMs = 0;
    bool LookAsked = false;
    LookSlot Look;
    // A minute's retry whose write was refused (a held copy not moved, a file
    // in a foreign encoding not turned): the next waits longer, up to an hour.
    RefusedWrite WriteRetry;
    // The optional keys the user changed in the dialogs that no save has written
    // yet; the record's values already hold them.
    OptionalChanges PendingOptional;
};

// The record of the loaded library; null before attach and after detach.
extern ChimeModule* CurrentModule;

} // namespace tolltone
