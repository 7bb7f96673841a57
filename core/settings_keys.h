#pragma once
// Section and key names of Setting.ini and what a missing key means. Every reader and writer
// of a setting names its key through these constants.
//
// The program reads and writes them through Settings (core/settings.h), which decides each key's
// default and conversion; tests and tools that prepare a file name the keys from here.

#include <QString>

namespace wavelot::settings {

using namespace Qt::Literals::StringLiterals;

inline const QString kSectionSetting = u"Setting"_s;
inline const QString kSectionProxy = u"Proxy"_s;

// Section "Setting".
inline const QString kSearchType = u"SearchType"_s;    // "0" genre box, "1" keyword box; lenient
inline const QString kSearchGenre = u"SearchGenre"_s;  // genre index; lenient
inline const QString kSearchName = u"SearchName"_s;    // last keyword text
// Directory index of the search tab, stored when the user picks one; lenient; missing: 0.
inline const QString kSearchDirectory = u"SearchDirectory"_s;
inline const QString kIndexEQ = u"IndexEQ"_s;          // 1 off, 2..12 presets; strict
inline const QString kSavedVolume = u"SavedVolume"_s;  // 0..100; lenient; missing: 100
inline const QString kSetRecode = u"SetRecode"_s;      // 0 until the first-run question; strict
inline const QString kFilePath = u"FilePath"_s;        // recording folder
inline const QString kQuality = u"Quality"_s;          // 0..7, index into kQualityTexts; lenient
inline const QString kLoopRec = u"LoopRec"_s;          // 1 = record again after a reconnect; lenient
inline const QString kSongUrl = u"SongUrl"_s;          // address of the station started last
inline const QString kSongName = u"SongName"_s;        // name of the station started last
inline const QString kSongCode = u"SongCode"_s;        // its text-encoding code; strict
// 1 = a job whose time span is running when the scheduler starts (or wakes after missing its
// start) is started at once; anything else or missing = only at its start second. Lenient.
inline const QString kCatchUpJobs = u"CatchUpJobs"_s;
// 0 = no desktop notification of a new song while the window is in the tray; missing, empty or
// any other number = notify. Lenient.
inline const QString kSongNotify = u"SongNotify"_s;
// 1 = the sound of each station is levelled to a common loudness; anything else or missing = off.
// Lenient.
inline const QString kLevelLoudness = u"LevelLoudness"_s;
// Minutes of each station's received sound kept while it plays (for recording a song from its
// start and saving the last minutes); missing or not a number = 30, 0 = none kept, at most 240.
// Lenient.
inline const QString kTimeShiftMinutes = u"TimeShiftMinutes"_s;
inline constexpr int kDefaultTimeShiftMinutes = 30;
// 0 = the record command begins the file at what is heard; missing or any other number = at the
// start of the song that plays. Lenient.
inline const QString kRecordFromSongStart = u"RecordFromSongStart"_s;
// The highest bit rate in kbit/s of the variant an HLS station is played in (the best one at or
// under it, else the lowest); missing, 0 or not a positive number = no cap. Lenient.
inline const QString kHlsMaxKbps = u"HlsMaxKbps"_s;

// Section "Proxy".
inline const QString kEnabledProxy = u"EnabledProxy"_s;  // "1" = use UserProxy; strict at play
inline const QString kUserProxy = u"UserProxy"_s;        // host:port
inline const QString kProxyCount = u"ProxyCount"_s;      // number of numbered entries; lenient
inline const QString kProxyEntryPrefix = u"Proxy"_s;     // "Proxy1", "Proxy2", ...

inline QString ProxyEntryKey(int n) {
    return kProxyEntryPrefix + QString::number(n);
}

// Range of SavedVolume, and what it reads as before anything was stored.
inline constexpr int kVolumeMin = 0;
inline constexpr int kVolumeMax = 100;
inline constexpr int kVolumeUnset = 100;

// Recording qualities offered by the options dialog, indexed by Quality: lame's bit rates, and
// last the station's own packets copied without encoding (kQualityOwnFormat).
inline const QString kQualityTexts[] = {
    u"32 Kbps"_s,  u"64 Kbps"_s,  u"96 Kbps"_s,  u"128 Kbps"_s,
    u"192 Kbps"_s, u"256 Kbps"_s, u"320 Kbps"_s, u"原始格式（不重新編碼）"_s};
inline constexpr int kQualityOwnFormat = 7;
// What Quality reads as before a quality was ever chosen ("128 Kbps"): a first recording should
// not come out at the lowest rate. A stored value, 0 included, keeps its meaning.
inline constexpr int kQualityUnset = 3;

}  // namespace wavelot::settings
