#pragma once
// What exists for the whole run: the program title, the two application folders and the
// settings file path.
//
// Folders: Setting/ and Recode/ beside the executable when that folder is writable, otherwise
// under $XDG_DATA_HOME/Wavelot/ (QStandardPaths). An installed program always uses the latter:
// one whose folder is a bin/ with ../share/applications/wavelot.desktop beside it, as
// `cmake --install` and packages lay it out. Every folder path ends with "/".

#include <QString>

namespace wavelot {

// Main window caption, caption of every message box, first line of the tray tip.
QString ProgramTitle();

// Fixes ProgramFolder, SettingFolder, RecordFolder and SettingFile, and creates the settings
// folder (so the first write of a setting can create its file). programFolder defaults to the
// executable's folder; tests pass a temporary folder. Returns false only when no settings
// folder could be created anywhere; the paths are set in any case.
bool InitAppFolders(const QString& programFolder = QString());

QString ProgramFolder();  // the executable's folder (or the one given), ending with "/"
QString SettingFolder();  // ".../Setting/"
QString RecordFolder();   // ".../Recode/", the default recording folder
QString SettingFile();    // SettingFolder() + "Setting.ini"
// The per-user cache, $XDG_CACHE_HOME/Wavelot/ (usually ~/.cache/Wavelot/), for what can be
// fetched again: never beside the program, whatever folder the settings are in. Not created here.
QString CacheFolder();

// The name of the program's desktop entry (wavelot.desktop) and of its icon.
inline constexpr char16_t kDesktopEntryName[] = u"wavelot";

inline constexpr char16_t kSettingFileName[] = u"Setting.ini";
inline constexpr char16_t kFavoritesFileName[] = u"Favorites.ini";
inline constexpr char16_t kRunJobFileName[] = u"RunJob.ini";
inline constexpr char16_t kUaoFileName[] = u"Uao.txt";
inline constexpr char16_t kRadioFileName[] = u"Radio.txt";

}  // namespace wavelot
