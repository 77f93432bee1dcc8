#pragma once
// Saving the record to the settings file of its current mode, and keeping its
// optional keys up to date with the file.
#include "module/ChimeModule.h"
#include "settings/OptionalSettings.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsMigration.h"
#include "sound/ScaledSound.h"

#include <cwchar>

namespace tolltone {

// Finds the current mode's settings file and loads the texts a save needs; its
// optional keys count as unread until the module reads or writes it.
inline void PrepareSettingsFile(ChimeModule& module) {
    module.SettingsFile = SettingsFilePath(module.PortableMode, module.Instance);
    module.Texts = LoadSettingsTexts(module.Instance);
    module.OptionalNames = LoadOptionalKeyNames(module.Instance);
    module.SettingsStamp = SettingsFileStamp{};
}

// After a load: what the file holds now is what the record holds.
inline void NoteSettingsFileRead(ChimeModule& module) {
    module.SettingsStamp = ReadSettingsFileStamp(module.SettingsFile);
}

// Saves to the file found by the last PrepareSettingsFile; calls nothing that
// loads a library or takes a shell lock, so the unload may call it. A save keeps
// the optional keys as written: if someone else wrote the file since the module
// last read it, the record's keys stay stale until the next check.
// A file not read yet takes only what the user changed.
inline int SaveModuleSettings(ChimeModule& module) {
    const unsigned keys = module.SettingsUnread ? module.ChosenKeys : AllChimeKeys;
    if (keys == 0 && module.PendingOptional.keys == 0) return 0;  // nothing of the user's to write
    const SettingsFileStamp before = ReadSettingsFileStamp(module.SettingsFile);
    const int saved = SaveSettings(module.SettingsFile, module.Texts, module,
                                   module.PendingOptional.keys != 0 ? &module.PendingOptional : nullptr, keys);
    if (saved != 0) module.PendingOptional.keys = 0;
    if (saved != 0 && SameStamp(before, module.SettingsStamp)) NoteSettingsFileRead(module);
    return saved;
}
// One query of the file's stamp; the optional keys are read again only when the
// file changed.
inline void RefreshOptionalKeys(ChimeModule& module) {
    if (RefreshOptionalSettings(module.SettingsFile, module.Instance, module.SettingsStamp, module.WriteRetry, module))
        ApplyOptionalChanges(module.PendingOptional, module);
}

// Those of the five values the user chose in the dialog (keys), over those read
// from the file.
inline void KeepChosenSettings(ChimeSettings& settings, const ChimeSettings& choice, unsigned keys = AllChimeKeys) {
    if (keys & WaveNameKey) std::wmemcpy(settings.WaveName, choice.WaveName, PathUnits);
    if (keys & IntervalKey) settings.Interval = choice.Interval;
    if (keys & EnableKey) settings.Enable = choice.Enable;
    if (keys & SignalTypeKey) settings.SignalType = choice.SignalType;
    if (keys & TimeTypeKey) settings.TimeType = choice.TimeType;
}

// A settings file that could not be read at InitialLoad, read again: true when
// the record now holds its values (and may be saved over it).
inline bool RetryUnreadSettings(ChimeModule& module) {
    // Its place or the save's texts could not be found at InitialLoad (a shell
    // or string-table call failed): looked for again, on the host's thread.
    if (!module.SettingsFile.valid || !module.Texts.loaded) PrepareSettingsFile(module);
    // The start's whole sequence: a copy to take, the old key and the old folder
    // to migrate may all have waited for this read.
    ChimeSettings read;
    const InitialLoadOutcome outcome =
        InitialLoadSettings(read, module.SettingsFile, module.PortableMode, module.Instance);
    if (!outcome.settingsLoaded) {
        if (outcome.writeRefused) module.WriteRetry.Refused(ReadSettingsFileStamp(module.SettingsFile));
        else module.WriteRetry.Reset();  // a read that failed: tried again next minute
        return false;
    }
    module.WriteRetry.Reset();
    // Loaded while unread: the user pressed OK in a dialog that showed defaults.
    // What the user changed there stays, and goes into the file's text with
    // every other key it holds.
    const bool chosen = module.SettingsLoaded;
    const ChimeSettings choice = module;
    static_cast<ChimeSettings&>(module) = read;
    if (chosen) KeepChosenSettings(module, choice, module.ChosenKeys);
    module.ChosenKeys = 0;
    ApplyOptionalChanges(module.PendingOptional, module);
    module.SettingsUnread = false;
    module.SettingsLoaded = true;
    if (outcome.optionalRead) NoteSettingsFileRead(module);
    if (chosen) SaveModuleSettings(module);
    return true;
}

// The minute's retry of unread settings: one whose write was refused waits
// longer each time, unless the file changed.
inline bool RetryUnreadSettingsWhenDue(ChimeModule& module) {
    return module.WriteRetry.Due(ReadSettingsFileStamp(module.SettingsFile)) && RetryUnreadSettings(module);
}



// The dialogs' OK: the five settings as chosen, and the optional keys the user
// changed from what the dialogs showed, kept until a save writes them. A key
// left alone keeps the module's reading, also one the file changed meanwhile.
inline void TakeDialogChoice(ChimeModule& module, const ChimeSettings& shown, const ChimeSettings& chosen) {
    const OptionalChanges changes = ChangedOptionalKeys(module.Instance, shown, chosen);
    if (module.SettingsUnread) module.ChosenKeys |= ChangedChimeKeys(shown, chosen);
    KeepChosenSettings(module, chosen);
    ApplyOptionalChanges(changes, module);
    AddOptionalChanges(module.PendingOptional, changes);
}

// The volume the file holds now, for the dialog's Test button.
inline int32_t CurrentVolume(ChimeModule& module) {
    RefreshOptionalKeys(module);
    return module.Sounds.Volume;
}

} // namespace tolltone
