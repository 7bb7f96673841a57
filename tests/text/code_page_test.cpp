// Known Windows results for each code page, with the places where the Windows tables differ
// from the plain standards, and the Private Use Area that the Big5 extension table relies on.
#include <gtest/gtest.h>

#include <string>

#include "text/code_page.h"

namespace wavelot {
namespace {

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(QByteArray(hex));
}

std::u16string Units(const QString& s) {
    return s.toStdU16String();
}

struct Case {
    int codePage;
    const char* hex;
    std::u16string expected;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.codePage << " " << c.hex;
}

class WindowsCodePage : public testing::TestWithParam<Case> {};

TEST_P(WindowsCodePage, DecodesLikeWindows) {
    const Case& c = GetParam();
    EXPECT_EQ(Units(DecodeBytes(Hex(c.hex), c.codePage)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    ShiftJis932, WindowsCodePage,
    testing::Values(
        // Where Windows departs from JIS X 0208: full-width forms instead of the standard's.
        Case{932, "8160", u"\uFF5E"}, Case{932, "815F", u"\uFF3C"}, Case{932, "817C", u"\uFF0D"},
        Case{932, "8161", u"\u2225"}, Case{932, "8191", u"\uFFE0"}, Case{932, "8192", u"\uFFE1"},
        Case{932, "81CA", u"\uFFE2"},
        // NEC row 13, the NEC-selected IBM extensions and the IBM extensions.
        Case{932, "8740", u"\u2460"}, Case{932, "8790", u"\u2252"}, Case{932, "ED40", u"\u7E8A"},
        Case{932, "EEF9", u"\uFFE2"}, Case{932, "FA40", u"\u2170"}, Case{932, "FA54", u"\uFFE2"},
        Case{932, "FC4B", u"\u9ED1"},
        // User-defined rows go to the Private Use Area.
        Case{932, "F040", u"\uE000"}, Case{932, "F9FC", u"\uE757"},
        // Plain ASCII for 5C and 7E (no yen sign, no overline); half-width katakana.
        Case{932, "5C7E", u"\\~"}, Case{932, "A1DF", u"\uFF61\uFF9F"}, Case{932, "82A0889F", u"\u3042\u4E9C"},
        // Single bytes that Windows defines and the IBM-derived table does not.
        Case{932, "80", u"\u0080"}, Case{932, "A0", u"\uF8F0"}, Case{932, "FD", u"\uF8F1"},
        Case{932, "FE", u"\uF8F2"}, Case{932, "FF", u"\uF8F3"}, Case{932, "FD40", u"\uF8F1@"},
        // Control bytes map to themselves (the IBM table rotates 1A, 1C and 7F).
        Case{932, "1A1C7F", u"\u001A\u001C\u007F"}));

INSTANTIATE_TEST_SUITE_P(Big5950, WindowsCodePage,
                         testing::Values(Case{950, "A440", u"\u4E00"}, Case{950, "A1C3", u"\uFFE3"},
                                         Case{950, "A145", u"\u2027"}, Case{950, "A14E", u"\uFE51"},
                                         Case{950, "A1E3", u"\uFF5E"}, Case{950, "A240", u"\uFF3C"},
                                         Case{950, "A244", u"\uFFE5"}, Case{950, "A246", u"\uFFE0"},
                                         Case{950, "A247", u"\uFFE1"}, Case{950, "A3E1", u"\u20AC"},
                                         // The duplicate radicals keep their own code points.
                                         Case{950, "A2CC", u"\u5341"}, Case{950, "A2CE", u"\u5345"},
                                         // The box-drawing extension of row F9.
                                         Case{950, "F9F9", u"\u2550"}, Case{950, "F9FE", u"\u2593"},
                                         Case{950, "80", u"\u0080"}, Case{950, "FF", u"\uF8F8"}));

INSTANTIATE_TEST_SUITE_P(Gbk936, WindowsCodePage,
                         testing::Values(Case{936, "80", u"\u20AC"}, Case{936, "A1AA", u"\u2014"},
                                         Case{936, "A1A4", u"\u00B7"}, Case{936, "A844", u"\u2015"},
                                         Case{936, "A3A4", u"\uFFE5"}, Case{936, "B0A1", u"\u554A"},
                                         Case{936, "8140", u"\u4E02"}, Case{936, "AAA1", u"\uE000"},
                                         Case{936, "A140", u"\uE4C6"}, Case{936, "FF", u"\uF8F5"}));

INSTANTIATE_TEST_SUITE_P(Korean949, WindowsCodePage,
                         testing::Values(Case{949, "B0A1", u"\uAC00"}, Case{949, "A1A9", u"\u00AD"},
                                         Case{949, "A1AD", u"\u223C"}, Case{949, "A2E6", u"\u20AC"},
                                         Case{949, "A2E7", u"\u00AE"}, Case{949, "A2A6", u"\uFF5E"},
                                         // Unified Hangul Code: the syllables outside KS X 1001.
                                         Case{949, "8141", u"\uAC02"}, Case{949, "C652", u"\uD7A3"},
                                         Case{949, "C9A1", u"\uE000"}, Case{949, "FEFE", u"\uE0BB"},
                                         Case{949, "80", u"\u0080"}, Case{949, "FF", u"\uF8F7"}));

INSTANTIATE_TEST_SUITE_P(Utf8, WindowsCodePage,
                         testing::Values(Case{65001, "E4B8AD", u"\u4E2D"},
                                         Case{65001, "F09F8EB5", u"\U0001F3B5"},
                                         Case{65001, "410042", std::u16string(u"A\0B", 3)},
                                         // Overlong forms, stray bytes and a cut-off sequence are replaced,
                                         // and what follows them survives.
                                         Case{65001, "C08041", u"\uFFFD\uFFFDA"},
                                         Case{65001, "FF41", u"\uFFFDA"}, Case{65001, "41E4B8", u"A\uFFFD"}));

// Windows gives the user-defined Big5 rows Private Use Area code units in order: 157 trail
// bytes (40-7E, A1-FE) per lead byte, the C6 row starting at A1.
TEST(Big5PrivateUseArea, EveryUserDefinedPairMapsInOrder) {
    struct Range {
        int firstLead, lastLead, firstTrailOfFirstRow;
        char16_t first;
    };
    const Range ranges[] = {{0xFA, 0xFE, 0x40, 0xE000},
                            {0x8E, 0xA0, 0x40, 0xE311},
                            {0x81, 0x8D, 0x40, 0xEEB8},
                            {0xC6, 0xC8, 0xA1, 0xF6B1}};
    const char16_t expectedLast[] = {0xE310, 0xEEB7, 0xF6B0, 0xF848};
    for (size_t r = 0; r < std::size(ranges); ++r) {
        const Range& range = ranges[r];
        QByteArray bytes;
        std::u16string expected;
        char16_t unit = range.first;
        for (int lead = range.firstLead; lead <= range.lastLead; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail > 0x7E && trail < 0xA1)
                    continue;
                if (lead == range.firstLead && trail < range.firstTrailOfFirstRow)
                    continue;
                bytes.append(static_cast<char>(lead)).append(static_cast<char>(trail));
                expected.push_back(unit++);
            }
        }
        EXPECT_EQ(expected.back(), expectedLast[r]);
        EXPECT_EQ(Units(DecodeBytes(bytes, kCodePageBig5)), expected) << "lead " << range.firstLead;
    }
    // Known points, and the real characters right before the C6 user row.
    EXPECT_EQ(Units(DecodeBytes(Hex("8140C8A4FEFE"), 950)), u"\uEEB8\uF7EE\uE310");
    EXPECT_EQ(Units(DecodeBytes(Hex("C640C67E"), 950)), u"\u8B96\u7C72");
}

TEST(DecodeBytes, EveryAsciiByteIsItselfInEveryCodePage) {
    QByteArray ascii;
    std::u16string expected;
    for (int b = 1; b < 0x80; ++b) {
        ascii.append(static_cast<char>(b));
        expected.push_back(static_cast<char16_t>(b));
    }
    for (int cp : {65001, 950, 936, 932, 949})
        EXPECT_EQ(Units(DecodeBytes(ascii, cp)), expected) << cp;
}

TEST(DecodeBytes, DropsALeadingUtf8ByteOrderMarkOnlyBeforeMoreText) {
    for (int cp : {65001, 950, 936, 932, 949}) {
        EXPECT_EQ(DecodeBytes(Hex("EFBBBF41"), cp), u"A") << cp;
        EXPECT_TRUE(DecodeBytes(QByteArray(), cp).isEmpty()) << cp;
    }
    EXPECT_EQ(Units(DecodeBytes(Hex("EFBBBF"), 65001)), u"\uFEFF");
    // Only the first mark goes; a second one is text.
    EXPECT_EQ(Units(DecodeBytes(Hex("EFBBBFEFBBBF41"), 65001)), u"\uFEFFA");
    // Under Big5 the mark's bytes would otherwise be a character and a stray byte.
    EXPECT_EQ(Units(DecodeBytes(Hex("EFBBBFA440"), 950)), u"\u4E00");
}

TEST(DecodeBytes, InvalidSequencesBecomeReplacementsWithoutEatingWhatFollows) {
    // A lead byte with a trail byte outside the trail range.
    EXPECT_EQ(Units(DecodeBytes(Hex("A13041"), 950)), u"\uFFFD0A");
    // A lead byte at the very end.
    EXPECT_EQ(Units(DecodeBytes(Hex("41A4"), 950)), u"A\uFFFD");
    EXPECT_EQ(Units(DecodeBytes(Hex("4181"), 936)), u"A\uFFFD");
    EXPECT_EQ(Units(DecodeBytes(Hex("41B0"), 949)), u"A\uFFFD");
    // A well-formed pair that the table leaves undefined.
    EXPECT_EQ(Units(DecodeBytes(Hex("854041"), 932)), u"\uFFFDA");
    EXPECT_EQ(Units(DecodeBytes(Hex("E0"), 932)), u"\uFFFD");
}

TEST(DecodeBytes, ZeroBytesAreDecodedAsNulCharacters) {
    for (int cp : {65001, 950, 936, 932, 949})
        EXPECT_EQ(Units(DecodeBytes(Hex("410042"), cp)), std::u16string(u"A\0B", 3)) << cp;
    EXPECT_EQ(Units(DecodeBytes(Hex("00A44000"), 950)), std::u16string(u"\0\u4E00\0", 3));
}

TEST(DecodeBytes, UnsupportedCodePageGivesEmptyText) {
    EXPECT_TRUE(DecodeBytes(Hex("41"), 1252).isEmpty());
    EXPECT_TRUE(DecodeBytes(Hex("41"), 0).isEmpty());
    EXPECT_FALSE(IsSupportedCodePage(1252));
    EXPECT_TRUE(IsSupportedCodePage(949));
}

TEST(DecodeBytes, LongInputKeepsEveryCharacter) {
    QByteArray big5;
    for (int i = 0; i < 100000; ++i)
        big5.append(
            "\xA4\x40"
            "a",
            3);
    const QString text = DecodeBytes(big5, 950);
    ASSERT_EQ(text.size(), 200000);
    EXPECT_EQ(text.count(QChar(0x4E00)), 100000);
}

TEST(EncodeUtf8, StopsAtTheFirstNul) {
    EXPECT_EQ(EncodeUtf8(QString::fromUtf16(u"a\0b", 3)), QByteArray("a"));
    EXPECT_EQ(EncodeUtf8(QString::fromUtf16(u"\0b", 2)), QByteArray());
    EXPECT_EQ(EncodeUtf8(QString()), QByteArray());
    EXPECT_EQ(EncodeUtf8(QStringLiteral("中é")), Hex("E4B8ADC3A9"));
    EXPECT_EQ(EncodeUtf8(QString::fromUtf16(u"\U0001F3B5")), Hex("F09F8EB5"));
}

TEST(EncodeUtf8, WritesAnUnpairedSurrogateAsReplacement) {
    const char16_t lone[] = {u'a', 0xD800, u'b'};
    EXPECT_EQ(EncodeUtf8(QString::fromUtf16(lone, 3)), Hex("61EFBFBD62"));
    const char16_t reversed[] = {0xDFB5, 0xD83C};
    EXPECT_EQ(EncodeUtf8(QString::fromUtf16(reversed, 2)), Hex("EFBFBDEFBFBD"));
}

TEST(EncodeUtf8, RoundTripsThroughDecodeBytes) {
    const QString text = QStringLiteral("正體中文 日本語 한국어 Ünïcödé \U0001F3B5");
    EXPECT_EQ(DecodeBytes(EncodeUtf8(text), kCodePageUtf8), text);
}

}  // namespace
}  // namespace wavelot
