#pragma once

#include "core/program/ProgramSettings.h"

#include <QString>

namespace kovi {

inline constexpr char LastFolderKey[] = "lastfolder";
inline constexpr char LastResIndexKey[] = "lastresindex";
inline constexpr char ProcessSubsKey[] = "processsubs";
inline constexpr char JpegChromKey[] = "jpegchrom";
inline constexpr char JpegLumKey[] = "jpeglum";
inline constexpr char ShowTipsKey[] = "showtips";
inline constexpr char WriteLogKey[] = "writelog";

// The home of `lastfolder`: whatever shows the chosen folder (the main window's folder tree).
class FolderSelection {
public:
    virtual ~FolderSelection() = default;
    virtual QString SelectedFolder() const = 0;
    virtual void SetSelectedFolder(const QString& folder) = 0;
};

// The per-user store of the seven settings: organisation and application "Kovi rZk Lite",
// group "Settings", one text value per key. Each call is one read or one write of the store;
// nothing is cached, so every instance sees what the others wrote.
class SettingsStore {
public:
    // `folder` may be null (the command-line tool): `lastfolder` is then neither read nor
    // written.
    SettingsStore(ProgramSettings& values, FolderSelection* folder);

    // Writes the current value of the setting from its home. Keys are matched exactly and
    // case-sensitively; any other key does nothing.
    void SaveRegSetting(const QString& key);

    // Reads the setting into its home, or its default when the store has no usable value
    // (missing, or not a whole number in range for the numeric keys and `processsubs`).
    // Any other key does nothing.
    void LoadRegSetting(const QString& key);

private:
    ProgramSettings& values_;
    FolderSelection* folder_;
};

// The folder chosen on a first start: the file-system root.
QString DefaultLastFolder();

} // namespace kovi
