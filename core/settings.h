#pragma once
// Typed access to Setting.ini: one reader and one writer per key, each deciding the key's
// default and whether its number is read strictly or leniently, so no caller converts a value
// itself. Nothing is cached: every reader reads the file and every writer writes it at once.
//
// Lenient numbers take the leading decimal number of the value (none gives 0). Strict ones must
// be whole numbers; a missing or malformed strict value reads as 0, which keeps each such key's
// meaning sound: IndexEQ 0 = no preset, SetRecode 0 = first-run question pending, SongCode 0 =
// UTF-8, EnabledProxy 0 = no proxy.

#include <QString>
#include <QStringList>

#include <memory>

namespace wavelot {

class IniDocument;

// The station started last, which the play command and the reconnect start again.
struct LastStation {
    QString url;
    QString name;
    int code = 0;
    bool operator==(const LastStation&) const = default;
};

class Settings {
public:
    explicit Settings(QString file) : file_(std::move(file)) {}
    const QString& File() const { return file_; }

    // Section "Setting".
    int SearchType() const;  // 1 the keyword box, anything else 0 the genre box
    void WriteSearchType(int index) const;
    int SearchGenre() const;
    void WriteSearchGenre(int index) const;
    QString SearchName() const;
    void WriteSearchName(const QString& text) const;
    int SearchDirectory() const;  // the stored index as is: the search tab checks its range
    void WriteSearchDirectory(int index) const;
    int IndexEQ() const;
    // Leaves the file alone when it already holds the index: every connect stores it again.
    void WriteIndexEQ(int index) const;
    int SavedVolume() const;  // clamped to 0..100; 100 while the key is missing or empty
    void WriteSavedVolume(int value) const;
    int SetRecode() const;
    void WriteSetRecode(int value) const;
    QString FilePath() const;
    void WriteFilePath(const QString& folder) const;
    int Quality() const;  // kQualityUnset while the key is missing or empty
    void WriteQuality(int index) const;
    int LoopRec() const;
    void WriteLoopRec(int value) const;
    // SongUrl, SongName and SongCode, whole (an address is often longer than 127 characters).
    LastStation Last() const;
    // The three keys in one atomic replace, in the order SongUrl, SongName, SongCode.
    void WriteLast(const LastStation& station) const;
    bool CatchUpJobs() const;  // see kCatchUpJobs; false when missing
    void WriteCatchUpJobs(bool on) const;
    bool SongNotify() const;  // true unless the key holds 0
    void WriteSongNotify(bool on) const;
    bool LevelLoudness() const;  // see kLevelLoudness; false when missing
    void WriteLevelLoudness(bool on) const;
    int TimeShiftMinutes() const;      // see kTimeShiftMinutes
    bool RecordFromSongStart() const;  // see kRecordFromSongStart; true when missing
    void WriteRecordFromSongStart(bool on) const;
    int HlsMaxKbps() const;  // see kHlsMaxKbps; 0 = no cap

    // Section "Proxy".
    int EnabledProxy() const;
    void WriteEnabledProxy(int value) const;
    QString UserProxy() const;
    void WriteUserProxy(const QString& proxy) const;
    int ProxyCount() const;
    QString ProxyEntry(int n) const;  // "Proxy" & n, 1-based
    // Entries 1 to ProxyCount (at most max), empty ones included, from one reading of the file:
    // a count of millions in a damaged file must not stall whoever reads them.
    QStringList ProxyEntries(int max) const;

private:
    QString file_;
};

// Addresses and keys that a section of Setting.ini may override (directory hosts, web-search
// hosts): the file is parsed once, values are taken whole and trimmed, and an empty or missing
// value keeps the compiled-in default.
class ConfigOverrides {
public:
    ConfigOverrides(const QString& settingFile, QString section);
    ~ConfigOverrides();
    // Trailing slashes dropped, so paths join with exactly one.
    QString Host(const QString& key, const QString& fallback) const;
    QString Text(const QString& key, const QString& fallback) const;

private:
    QString section_;
    struct Doc;
    std::unique_ptr<Doc> doc_;
};

}  // namespace wavelot
