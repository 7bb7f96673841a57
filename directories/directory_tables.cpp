#include "directories/directory_tables.h"

#include <cmath>

namespace wavelot {

// Radio-Browser tags match by substring ("rock" also finds "classic rock"), so most genre keys
// serve as they are; its R&B tag is "rnb", and "japan" also finds "japanese" stations.
const GenreInfo kGenres[kGenreCount] = {
    {u"Top 精選 (Top Streams)", u"top", u""},
    {u"另類音樂 (Alternative)", u"alternative", u"alternative"},
    {u"古典音樂 (Classical)", u"classical", u"classical"},
    {u"當代音樂 (Contemporary)", u"contemporary", u"contemporary"},
    {u"喜劇音樂 (Comedy)", u"comedy", u"comedy"},
    {u"鄉村音樂 (Country)", u"country", u"country"},
    {u"心靈音樂 (Spiritual)", u"spiritual", u"spiritual"},
    {u"新世紀音樂 (New Age)", u"new age", u"new age"},
    {u"懷舊音樂 (Oldies)", u"oldies", u"oldies"},
    {u"日本音樂 (Japan)", u"jpop", u"japan"},
    {u"舞曲音樂 (Dance/House)", u"dance", u"dance"},
    {u"斯卡音樂 (Ska)", u"ska", u"ska"},
    {u"瘋克音樂 (Funk)", u"funk", u"funk"},
    {u"爵士音樂 (Jazz)", u"jazz", u"jazz"},
    {u"重金屬音樂 (Metal)", u"metal", u"metal"},
    {u"混合音樂 (Mixed)", u"mixed", u"mixed"},
    {u"饒舌音樂 (Rap)", u"rap", u"rap"},
    {u"流行音樂 (Pop)", u"pop", u"pop"},
    {u"節奏藍調 (R&B)", u"R%26B", u"rnb"},
    {u"搖滾音樂 (Rock)", u"rock", u"rock"},
    {u"說唱音樂 (Talk)", u"talk", u"talk"},
    {u"數位音樂 (Techno)", u"techno", u"techno"},
    {u"拉丁音樂 (Latin)", u"latin", u"latin"},
    {u"70 年代音樂 (The '70s)", u"70s", u"70s"},
    {u"80 年代音樂 (The '80s)", u"80s", u"80s"},
    {u"90 年代音樂 (The '90s)", u"90s", u"90s"},
    {u"國家音樂 (World)", u"world", u"world"},
    {u"遊戲音樂 (Game)", u"game", u"game"},
};

int DirectoryFromCliName(const QString& name) {
    for (int d = 0; d < kDirectoryCount; ++d) {
        if (name == QLatin1StringView(kDirectories[d].cliName))
            return d;
    }
    return -1;
}

QString GenreQueryKey(int genreIndex) {
    if (genreIndex < 0 || genreIndex >= kGenreCount)
        return {};
    return QString::fromUtf16(kGenres[genreIndex].queryKey);
}

QString RadioBrowserTag(int genreIndex) {
    if (genreIndex < 0 || genreIndex >= kGenreCount)
        return {};
    return QString::fromUtf16(kGenres[genreIndex].radioBrowserTag);
}

bool ColumnLayoutFor(int directory, bool highDpi, ColumnLayout* layout) {
    switch (directory) {
    case static_cast<int>(Directory::RadioBrowser):
    case static_cast<int>(Directory::Shoutcast):
    case static_cast<int>(Directory::Icecast):
    case static_cast<int>(Directory::LiveDoor):
        *layout = highDpi ? ColumnLayout{45, 85, 50, 9} : ColumnLayout{45, 65, 40, 6};
        return true;
    case static_cast<int>(Directory::Local):
        *layout = highDpi ? ColumnLayout{0, 0, 0, 80} : ColumnLayout{0, 0, 0, 62};
        return true;
    case static_cast<int>(Directory::InLive):
        *layout = highDpi ? ColumnLayout{165, 0, 45, 14} : ColumnLayout{165, 0, 45, -5};
        return true;
    default: return false;
    }
}

int Column0Width(int innerWidth, const ColumnLayout& layout) {
    const double share = static_cast<double>(innerWidth - layout.column1 - layout.column2) / 7.0 * 6.1;
    // The default floating-point rounding mode rounds halves to even.
    return static_cast<int>(std::nearbyint(share + layout.adjustment));
}

}  // namespace wavelot
