// Titles from ICY metadata and Vorbis comments, plus the time texts.
#include "engine/song_title.h"
#include "engine/eq_presets.h"
#include "engine/time_text.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace wavelot {
namespace {

struct IcyCase {
    const char* meta;
    const char* expected;
};

TEST(IcyStreamTitle, Table) {
    const IcyCase cases[] = {
        {"StreamTitle='Artist - Song';StreamUrl='';", "Artist - Song"},
        {"StreamTitle='';", "Station"},
        {"STREAMTITLE='X';", "X"},
        // A semicolon inside the title does not cut it short.
        {"StreamTitle='A;B';", "A;B"},
        {"StreamTitle='Artist; Guest - Song';StreamUrl='http://x/';", "Artist; Guest - Song"},
        // Without a closing quote the character before the first ";" is taken for one.
        {"StreamTitle='Song';", "Song"},
        {"StreamTitle='Song\";", "Song"},
        {"StreamTitle='a;", "Station"},
        {"StreamTitle='no end at all", "Station"},
        {"StreamTitle='  spaced  ';", "  spaced  "},
        // Not a StreamTitle at all: the title stays.
        {"StreamUrl='x';", "Current"},
        {"", "Current"},
    };
    for (const IcyCase& c : cases) {
        EXPECT_EQ(IcyStreamTitle(QString::fromUtf8(c.meta), u"Station"_s, u"Current"_s),
                  QString::fromUtf8(c.expected))
            << c.meta;
    }
}

struct OggCase {
    const char* comments;
    const char* expected;
};

TEST(ComposeOggTitle, Table) {
    const OggCase cases[] = {
        {"artist=A\r\nalbum=B\r\ndate=2001\r\ntracknumber=3\r\ntitle=T", "A - B (2001) 3.T"},
        {"artist=A\r\nalbum=B\r\ntracknumber=3\r\ntitle=T", "A - B - 3.T"},
        {"artist=A\r\ntitle=T", "A - T"},
        {"artist=A\r\ntracknumber=3\r\ntitle=T", "A - 3.T"},
        {"artist=A", "A - "},
        {"artist=A\r\ndate=2001\r\ntitle=T", "A - (2001) T"},
        {"albumist=AA\r\nartist=A\r\ntitle=T", "A - AA - T"},
        {"title=T", "- T"},
        {"encoder=Lavf\r\nvendor=x", "- "},
        {"ARTIST=Upper\r\nTITLE=Case", "Upper - Case"},
        {"Album Artist=AA\r\nalbum=B\r\ntitle=T", "AAB - T"},
        {"title=First\r\ntitle=Second", "- Second"},
        {"  title=Trimmed  \r\n\r\n", "- Trimmed"},
    };
    for (const OggCase& c : cases) {
        EXPECT_EQ(ComposeOggTitle(QString::fromUtf8(c.comments)), QString::fromUtf8(c.expected))
            << c.comments;
    }
}

TEST(FormatSeconds, Table) {
    EXPECT_EQ(FormatSeconds(-1), u"00:00:00"_s);
    EXPECT_EQ(FormatSeconds(-30), u"00:00:00"_s);
    EXPECT_EQ(FormatSeconds(0), u"00:00:00"_s);
    EXPECT_EQ(FormatSeconds(59), u"00:00:59"_s);
    EXPECT_EQ(FormatSeconds(59.6), u"00:01:00"_s);
    EXPECT_EQ(FormatSeconds(61), u"00:01:01"_s);
    EXPECT_EQ(FormatSeconds(3599), u"00:59:59"_s);
    EXPECT_EQ(FormatSeconds(3661), u"01:01:01"_s);
    EXPECT_EQ(FormatSeconds(100 * 3600 + 5), u"100:00:05"_s);
}

TEST(ClockText, TwentyFourHourTwoDigits) {
    EXPECT_EQ(ClockText(QTime(7, 5, 3)), u"07:05:03"_s);
    EXPECT_EQ(ClockText(QTime(23, 59, 0)), u"23:59:00"_s);
    EXPECT_TRUE(LogTimePrefix().endsWith(u": "_s));
    EXPECT_EQ(LogTimePrefix().size(), 10);
}

TEST(EqPresets, IndexesAndGains) {
    EXPECT_FALSE(FindEqPreset(0));
    EXPECT_FALSE(FindEqPreset(13));
    ASSERT_TRUE(FindEqPreset(12));
    EXPECT_EQ(EqPresetCaption(*FindEqPreset(12)), u"歌劇"_s);
    EXPECT_EQ(EqPresetCaption(*FindEqPreset(1)), u"關閉等化器"_s);
    const auto pop = ParseEqGains(QString::fromUtf8(FindEqPreset(2)->gains));
    EXPECT_EQ(pop, (std::array<float, 10>{3, 1, 0, -2, -4, -4, -2, 0, 1, 2}));
    // A damaged text flattens the bands it cannot read.
    EXPECT_EQ(ParseEqGains(u"1,x,,4"_s), (std::array<float, 10>{1, 0, 0, 4, 0, 0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace wavelot
