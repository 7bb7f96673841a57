#include "engine/record_files.h"

#include <QDir>
#include <QTextBoundaryFinder>

#include "core/path_utils.h"
#include "core/settings_keys.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

const QString kUnnamedStation = u"未命名電台"_s;
const QString kUnnamedSong = u"未命名歌曲"_s;

bool IsControl(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7F;
}

// The longest start of text that takes at most maxBytes in UTF-8 and ends at the end of a
// user-perceived character, so no character or accent is cut in half.
QString CutToBytes(const QString& text, int maxBytes) {
    if (text.toUtf8().size() <= maxBytes)
        return text;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype good = 0;
    for (qsizetype at = finder.toNextBoundary(); at > 0; at = finder.toNextBoundary()) {
        if (QStringView(text).left(at).toUtf8().size() > maxBytes)
            break;
        good = at;
    }
    return text.left(good);
}

}  // namespace

QString SafeName(const QString& text, const QString& fallback, int maxBytes) {
    QString name = CleanFileName(text);
    name.removeIf(IsControl);
    name = CutToBytes(name.trimmed(), maxBytes).trimmed();
    if (name.isEmpty() || name == u"."_s || name == u".."_s)
        return fallback;
    return name;
}

QString StationFolderName(const QString& displayName) {
    return SafeName(displayName, kUnnamedStation);
}

QString SongFileBase(const QString& songTitle) {
    return SafeName(songTitle, kUnnamedSong, kNameMaxBytes - kSongSuffixBytes);
}

QString RecordingRoot(const QString& folderText, const QString& defaultFolder, const QString& programFolder) {
    QString folder = folderText.trimmed().isEmpty() ? defaultFolder : folderText;
    if (QDir::isRelativePath(folder))
        folder = WithBackslash(programFolder) + folder;
    return WithBackslash(QDir::cleanPath(folder));
}

QString ChooseRecordingFile(const QString& stationFolder, const QString& base, const QDateTime& now,
                            const std::function<bool(const QString&)>& exists, const QString& extension) {
    const QString plain = stationFolder + base + extension;
    if (!exists(plain))
        return plain;
    const QString dated = stationFolder + base + now.toString(u"_yyMMdd_HHmmss_"_s);
    QString file = dated + extension;
    for (int n = 2; exists(file) && n < 10000; ++n)
        file = dated + QString::number(n) + extension;
    return file;
}

QString QualityBitrate(int index) {
    const auto& texts = settings::kQualityTexts;
    if (index < 0 || index >= int(std::size(texts)) || index == settings::kQualityOwnFormat)
        return QString::fromUtf16(kFallbackBitrate);
    const QString rate = TextBefore(texts[index], u" "_s);
    return rate.isEmpty() ? QString::fromUtf16(kFallbackBitrate) : rate;
}

SongTags SplitSongTitle(const QString& songTitle) {
    const qsizetype at = songTitle.indexOf(u" - "_s);
    if (at < 0)
        return {QString(), songTitle.trimmed()};
    return {songTitle.left(at).trimmed(), songTitle.mid(at + 3).trimmed()};
}

QStringList LameArguments(const QString& lame, const QString& file, const QString& bitrate) {
    return {lame, u"-"_s, file, u"-b"_s, bitrate, u"--id3v2-only"_s, u"--pad-id3v2-size"_s, u"2048"_s};
}

RecordingTags SongFileTags(const QString& songTitle, const QString& station, const QString& address,
                           const QDate& day) {
    const SongTags song = SplitSongTitle(songTitle);
    return {.artist = song.artist, .title = song.title, .album = station, .comment = address, .date = day};
}

}  // namespace wavelot
