#pragma once
// The directories of the search page, the 28 genres and the result columns per directory.

#include <QString>

namespace wavelot {

// Index in the directory box; also the order of the CLI names. Radio-Browser, the open
// directory that needs no key, comes after the five older ones so their indexes stay.
enum class Directory : int {
    Shoutcast = 0,
    Icecast = 1,
    LiveDoor = 2,
    Local = 3,
    InLive = 4,
    RadioBrowser = 5
};
inline constexpr int kDirectoryCount = 6;

// Search kind index (the pair of option buttons).
inline constexpr int kSearchByGenre = 0;
inline constexpr int kSearchByName = 1;

struct DirectoryInfo {
    const char16_t* shown;  // text of the directory box entry (the last one ends in a blank)
    const char* cliName;    // wavelot-cli's name for it
    int codePage;           // code page of the fetched answer; 0 for the local file
    bool hasSearchInputs;   // false: the whole listing is fetched, genre and name do not apply
};

inline constexpr DirectoryInfo kDirectories[kDirectoryCount] = {
    {u"SHOUTcast", "shoutcast", 65001, true},   {u"Icecast", "icecast", 65001, true},
    {u"日本 LiveDoor", "livedoor", 932, false}, {u"國內電台", "local", 0, false},
    {u"韓國 - InLive ", "inlive", 949, false},  {u"Radio-Browser", "radio-browser", 65001, true},
};

// Index of a CLI name, or -1.
int DirectoryFromCliName(const QString& name);

struct GenreInfo {
    const char16_t* shown;
    const char16_t* queryKey;         // sent as it stands: "R%26B" is already encoded, "new age" is not
    const char16_t* radioBrowserTag;  // plain text, encoded when sent; empty: no tag (most clicked)
};

inline constexpr int kGenreCount = 28;
extern const GenreInfo kGenres[kGenreCount];

// The query key of a genre index; empty for an index outside the table (no genre selected).
QString GenreQueryKey(int genreIndex);
// The Radio-Browser tag searched for a genre index; empty for "top" and for an index outside
// the table, which both list the most clicked stations.
QString RadioBrowserTag(int genreIndex);

// Widths of result columns 1 to 3 and the adjustment added to column 0's share, in pixels.
struct ColumnLayout {
    int column1;
    int column2;
    int column3;
    int adjustment;
};

// Layout for a directory index at 120 dpi (`highDpi`) or any other resolution; false for an
// index outside the table, whose search leaves the columns as they are.
bool ColumnLayoutFor(int directory, bool highDpi, ColumnLayout* layout);

// Column 0 = (innerWidth - column 1 - column 2) / 7 * 6.1 + adjustment, rounded to the
// nearest integer with halves to the even one.
int Column0Width(int innerWidth, const ColumnLayout& layout);

}  // namespace wavelot
