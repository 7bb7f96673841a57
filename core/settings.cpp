#include "core/settings.h"

#include <QFile>

#include <algorithm>
#include <memory>

#include "core/ini_file.h"
#include "core/settings_keys.h"

namespace wavelot {

namespace k = settings;

namespace {

int Lenient(const QString& section, const QString& key, const QString& file) {
    return ReadIniInt(section, key, file);
}
int Strict(const QString& section, const QString& key, const QString& file) {
    return ReadIniIntStrict(section, key, file);
}

}  // namespace

int Settings::SearchType() const {
    return Lenient(k::kSectionSetting, k::kSearchType, file_) == 1 ? 1 : 0;
}
void Settings::WriteSearchType(int index) const {
    WriteIni(k::kSectionSetting, k::kSearchType, index, file_);
}
int Settings::SearchGenre() const {
    return Lenient(k::kSectionSetting, k::kSearchGenre, file_);
}
void Settings::WriteSearchGenre(int index) const {
    WriteIni(k::kSectionSetting, k::kSearchGenre, index, file_);
}
QString Settings::SearchName() const {
    return ReadIni(k::kSectionSetting, k::kSearchName, file_);
}
void Settings::WriteSearchName(const QString& text) const {
    WriteIni(k::kSectionSetting, k::kSearchName, text, file_);
}
int Settings::SearchDirectory() const {
    return Lenient(k::kSectionSetting, k::kSearchDirectory, file_);
}
void Settings::WriteSearchDirectory(int index) const {
    WriteIni(k::kSectionSetting, k::kSearchDirectory, index, file_);
}

int Settings::IndexEQ() const {
    return Strict(k::kSectionSetting, k::kIndexEQ, file_);
}
void Settings::WriteIndexEQ(int index) const {
    IniDocument doc;
    if (!doc.Load(file_) && QFile::exists(file_))
        return;  // exists but unreadable: keep it
    const QString text = QString::number(index);
    if (doc.Value(k::kSectionSetting, k::kIndexEQ) == text)
        return;
    doc.SetValue(k::kSectionSetting, k::kIndexEQ, text);
    doc.Save(file_);
}

int Settings::SavedVolume() const {
    // Nothing stored yet is a first run: full volume, so the first station is heard.
    if (ReadIni(k::kSectionSetting, k::kSavedVolume, file_).isEmpty())
        return k::kVolumeUnset;
    return std::clamp(Lenient(k::kSectionSetting, k::kSavedVolume, file_), k::kVolumeMin, k::kVolumeMax);
}
void Settings::WriteSavedVolume(int value) const {
    WriteIni(k::kSectionSetting, k::kSavedVolume, value, file_);
}

int Settings::SetRecode() const {
    return Strict(k::kSectionSetting, k::kSetRecode, file_);
}
void Settings::WriteSetRecode(int value) const {
    WriteIni(k::kSectionSetting, k::kSetRecode, value, file_);
}
QString Settings::FilePath() const {
    return ReadIni(k::kSectionSetting, k::kFilePath, file_);
}
void Settings::WriteFilePath(const QString& folder) const {
    WriteIni(k::kSectionSetting, k::kFilePath, folder, file_);
}
int Settings::Quality() const {
    if (ReadIni(k::kSectionSetting, k::kQuality, file_).isEmpty())
        return k::kQualityUnset;
    return Lenient(k::kSectionSetting, k::kQuality, file_);
}
void Settings::WriteQuality(int index) const {
    WriteIni(k::kSectionSetting, k::kQuality, index, file_);
}
int Settings::LoopRec() const {
    return Lenient(k::kSectionSetting, k::kLoopRec, file_);
}
void Settings::WriteLoopRec(int value) const {
    WriteIni(k::kSectionSetting, k::kLoopRec, value, file_);
}

LastStation Settings::Last() const {
    IniDocument doc;
    doc.Load(file_);
    auto whole = [&](const QString& key) {
        QString v = doc.Value(k::kSectionSetting, key).value_or(QString());
        v.remove(QChar(0));
        return v;
    };
    return {whole(k::kSongUrl), whole(k::kSongName), StrictInt(whole(k::kSongCode))};
}
void Settings::WriteLast(const LastStation& station) const {
    // One replace instead of three: each replace syncs the file, which costs the main thread tens
    // of milliseconds on a busy disk, and a half-written station is useless.
    IniDocument doc;
    if (!doc.Load(file_) && QFile::exists(file_))
        return;
    doc.SetValue(k::kSectionSetting, k::kSongUrl, station.url);
    doc.SetValue(k::kSectionSetting, k::kSongName, station.name);
    doc.SetValue(k::kSectionSetting, k::kSongCode, QString::number(station.code));
    doc.Save(file_);
}

bool Settings::CatchUpJobs() const {
    return Lenient(k::kSectionSetting, k::kCatchUpJobs, file_) == 1;
}
void Settings::WriteCatchUpJobs(bool on) const {
    WriteIni(k::kSectionSetting, k::kCatchUpJobs, on ? 1 : 0, file_);
}
bool Settings::SongNotify() const {
    // A first run has no key: notifications are on until the options dialog turns them off.
    if (ReadIni(k::kSectionSetting, k::kSongNotify, file_).isEmpty())
        return true;
    return Lenient(k::kSectionSetting, k::kSongNotify, file_) != 0;
}
void Settings::WriteSongNotify(bool on) const {
    WriteIni(k::kSectionSetting, k::kSongNotify, on ? 1 : 0, file_);
}
bool Settings::LevelLoudness() const {
    return Lenient(k::kSectionSetting, k::kLevelLoudness, file_) == 1;
}
void Settings::WriteLevelLoudness(bool on) const {
    WriteIni(k::kSectionSetting, k::kLevelLoudness, on ? 1 : 0, file_);
}
int Settings::TimeShiftMinutes() const {
    bool ok = false;
    const int minutes = ReadIni(k::kSectionSetting, k::kTimeShiftMinutes, file_).trimmed().toInt(&ok);
    return ok ? std::clamp(minutes, 0, 240) : k::kDefaultTimeShiftMinutes;
}
bool Settings::RecordFromSongStart() const {
    if (ReadIni(k::kSectionSetting, k::kRecordFromSongStart, file_).isEmpty())
        return true;
    return Lenient(k::kSectionSetting, k::kRecordFromSongStart, file_) != 0;
}
void Settings::WriteRecordFromSongStart(bool on) const {
    WriteIni(k::kSectionSetting, k::kRecordFromSongStart, on ? 1 : 0, file_);
}
int Settings::HlsMaxKbps() const {
    return std::max(0, Lenient(k::kSectionSetting, k::kHlsMaxKbps, file_));
}

int Settings::EnabledProxy() const {
    return Strict(k::kSectionProxy, k::kEnabledProxy, file_);
}
void Settings::WriteEnabledProxy(int value) const {
    WriteIni(k::kSectionProxy, k::kEnabledProxy, value, file_);
}
QString Settings::UserProxy() const {
    return ReadIni(k::kSectionProxy, k::kUserProxy, file_);
}
void Settings::WriteUserProxy(const QString& proxy) const {
    WriteIni(k::kSectionProxy, k::kUserProxy, proxy, file_);
}
int Settings::ProxyCount() const {
    return Lenient(k::kSectionProxy, k::kProxyCount, file_);
}
QString Settings::ProxyEntry(int n) const {
    return ReadIni(k::kSectionProxy, k::ProxyEntryKey(n), file_);
}
QStringList Settings::ProxyEntries(int max) const {
    IniDocument doc;
    doc.Load(file_);
    const int count =
        std::min(LenientInt(doc.Value(k::kSectionProxy, k::kProxyCount).value_or(QString())), max);
    QStringList entries;
    for (int n = 1; n <= count; ++n) {
        QString v = doc.Value(k::kSectionProxy, k::ProxyEntryKey(n)).value_or(QString());
        v.remove(QChar(0));
        entries.append(v.left(kIniReadLimit));
    }
    return entries;
}

struct ConfigOverrides::Doc {
    IniDocument ini;
};

ConfigOverrides::ConfigOverrides(const QString& settingFile, QString section)
    : section_(std::move(section)), doc_(std::make_unique<Doc>()) {
    doc_->ini.Load(settingFile);
}

ConfigOverrides::~ConfigOverrides() = default;

QString ConfigOverrides::Text(const QString& key, const QString& fallback) const {
    QString v = doc_->ini.Value(section_, key).value_or(QString()).trimmed();
    v.remove(QChar(0));
    return v.isEmpty() ? fallback : v;
}

QString ConfigOverrides::Host(const QString& key, const QString& fallback) const {
    QString v = Text(key, QString());
    while (v.endsWith(u'/'))
        v.chop(1);
    return v.isEmpty() ? fallback : v;
}

}  // namespace wavelot
