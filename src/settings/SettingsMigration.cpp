#include "settings/SettingsMigration.h"

#include "paths/FileSystemQueries.h"
#include "resources/ResourceIds.h"
#include "settings/LegacyRegistry.h"
#include "settings/SettingsFile.h"

namespace tolltone {
namespace {

InitialLoadOutcome MigrateLegacyRegistry(ChimeSettings& settings, const SettingsPath& current, HINSTANCE strings) {
    // Values the registry cannot give keep what the settings file holds.
    const SettingsRead file = ReadSettings(current, strings, settings);
    if (!file.complete) {  // nothing is decided until the file can be read
        settings = ChimeSettings{};
        return {0, false, false, file.turnRefused};
    }
    // A key read only in part keeps every value and the key for the next start:
    // the file's values stand meanwhile.
    ChimeSettings migrated = settings;
    if (!ReadLegacySettings(strings, migrated)) return {file.waveUnits, true, file.optionalComplete};
    settings = migrated;
    if (SaveSettings(current, strings, settings) == 0) {
        // Nothing else holds these values yet: keep the old key for the next start.
        return {0, true, file.optionalComplete};
    }
    DeleteLegacyKey(strings);
    return {static_cast<int>(DeleteOldUninstallEntry()), true, file.optionalComplete};
}

void MigrateOldFolder(HINSTANCE strings, const SettingsTexts& texts) {
    const SettingsPath oldFile = PerUserSettingsPath(strings, IDS_OLD_MAKER_FOLDER);
    const SettingsPath newFile = PerUserSettingsPath(strings);
    if (!oldFile.valid || !newFile.valid) return;
    // Never over an existing file, and never half a file under the new name.
    if (CopyIntoPlace(oldFile.text, newFile, texts, 0)) ::DeleteFileW(oldFile.text);
}

} // namespace

InitialLoadOutcome InitialLoadSettings(ChimeSettings& settings, const SettingsPath& current, int32_t portableMode,
                                       HINSTANCE strings) {
    const SettingsPath perUser = portableMode != 0 ? PerUserSettingsPath(strings) : current;
    const SettingsTexts texts = LoadSettingsTexts(strings);
    if (!current.valid) {
        // No folder to read from or save to: defaults, and nothing stored is touched.
        settings = ChimeSettings{};
        return {0, false, false};
    }
    // A crash between a save's two renames may have left only the complete copy;
    // one that cannot be taken yet leaves the settings unread, tried each minute.
    const CopyAdoption perUserCopy = portableMode != 0 ? AdoptCompleteCopy(perUser, texts) : CopyAdoption::None;
    if (AdoptCompleteCopy(current, texts) == CopyAdoption::Left ||
        SettleCopyBesideFile(current, texts) == CopyAdoption::Left) {
        // Only a refusal is a refused write (a guarded folder may show a notice at
        // each try); a copy held for a moment (a scanner, a sharing violation) or
        // a search that failed is tried again next minute.
        const bool refused = ::GetLastError() == ERROR_ACCESS_DENIED;
        settings = ChimeSettings{};
        return {0, false, false, refused};
    }
    if (LegacyKeyExists(strings)) return MigrateLegacyRegistry(settings, current, strings);

    // The existence test looks at the per-user file whatever the mode; a copy
    // left in its place stands for it, and the old folder's file is not put there.
    const bool perUserExists = perUser.valid && (perUserCopy == CopyAdoption::Left || CheckFile(perUser.text) != 0);
    if (!perUserExists) MigrateOldFolder(strings, texts);

    if (ProbeSettingsFile(current) == SettingsFileState::Unreadable) {
        settings = ChimeSettings{};
        return {0, false, false};
    }
    const SettingsRead read = ReadSettings(current, strings, settings);
    if (!read.complete) {
        settings = ChimeSettings{};
        return {0, false, false, read.turnRefused};
    }
    if (perUserExists) return {read.waveUnits, true, read.optionalComplete};
    return {SaveSettings(current, strings, settings), true, read.optionalComplete};
}

bool RelocateSettingsFile(int32_t toPortable, HINSTANCE strings) {
    const SettingsPath perUser = PerUserSettingsPath(strings);
    const SettingsPath portable = HostDirectorySettingsPath(strings);
    if (!perUser.valid || !portable.valid) return false;
    const SettingsPath& from = toPortable != 0 ? perUser : portable;
    const SettingsPath& to = toPortable != 0 ? portable : perUser;
    return ::MoveFileExW(from.text, to.text,
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH) != 0;
}

} // namespace tolltone
