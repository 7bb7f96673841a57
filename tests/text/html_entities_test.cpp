// The entity decoder's two passes: numeric references with their bounds, then the ordered list
// of named sequences, whose order produces double decoding.
#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QRegularExpression>

#include "text/html_entities.h"

using namespace Qt::StringLiterals;

namespace wavelot {
namespace {

struct Case {
    const char16_t* input;
    std::u16string expected;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << QString::fromUtf16(c.input).toStdString();
}

QString Decode(const char16_t* text) {
    return DecodeHtmlEntities(QString::fromUtf16(text));
}

class NumericReferences : public testing::TestWithParam<Case> {};
TEST_P(NumericReferences, Decode) {
    EXPECT_EQ(Decode(GetParam().input).toStdU16String(), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Pass1, NumericReferences,
    testing::Values(Case{u"&#65;&#66;", u"AB"}, Case{u"&#0065;", u"A"}, Case{u"&#00000000000065;", u"A"},
                    Case{u"&#233;", u"\u00E9"}, Case{u"&#255;", u"\u00FF"},
                    // 128 to 159 are Windows-1252, its undefined bytes their own control characters.
                    Case{u"&#150;", u"\u2013"}, Case{u"&#128;", u"\u20AC"}, Case{u"&#159;", u"\u0178"},
                    Case{u"&#129;&#141;&#143;&#144;&#157;", u"\u0081\u008D\u008F\u0090\u009D"},
                    Case{u"&#0;", std::u16string(1, u'\0')},
                    // Above 255, without digits, without semicolon, hexadecimal: left as they stand.
                    Case{u"&#256;", u"&#256;"}, Case{u"&#8217;", u"&#8217;"},
                    Case{u"&#99999999999999999999;", u"&#99999999999999999999;"}, Case{u"&#65", u"&#65"},
                    Case{u"&#;", u"&#;"}, Case{u"&#x41;", u"&#x41;"}, Case{u"&#65 ;", u"&#65 ;"},
                    Case{u"&#", u"&#"}, Case{u"x&#6;", u"x\u0006"},
                    // A reference needs four characters; a short tail is skipped.
                    Case{u"ab&#6", u"ab&#6"},
                    // One scan: what a reference produces is not examined again.
                    Case{u"&#38;#65;", u"&#65;"}, Case{u"&#38;&#65;", u"&A"},
                    // A refused reference does not stop the ones after it.
                    Case{u"&#300;&#65;", u"&#300;A"}, Case{u"a&#65;b&#66;c", u"aAbBc"}));

// Pass 2 skips sequences that cannot occur; it must give exactly what replacing every entry in
// turn gives, also where a replacement or a removal forms a new sequence.
QString ReplaceEveryEntry(QString s) {
    for (const HtmlNamedSequence& e : HtmlNamedSequences()) {
        const QString seq = QString::fromUtf16(e.sequence.data(), static_cast<qsizetype>(e.sequence.size()));
        s.replace(seq, e.replacement ? QString(QChar(e.replacement)) : QString());
    }
    return s;
}

// Pass 1 as literally described: replace in place, positions bounded by the original length.
QString NumericInPlace(QString s) {
    const qsizetype n = s.size();
    for (qsizetype i = 1; i <= n; ++i) {
        if (s.size() - i < 3)
            continue;
        if (s.mid(i - 1, 2) != u"&#"_s)
            continue;
        qsizetype j = i + 2;
        while (j <= s.size() && s.at(j - 1).isDigit() && s.at(j - 1).unicode() < 128)
            ++j;
        if (j == i + 2)
            continue;
        --j;
        if (j + 1 > s.size() || s.at(j) != u';')
            continue;
        bool ok = false;
        const qlonglong v = s.mid(i + 1, j - i - 1).toLongLong(&ok);
        if (!ok || v > 255)
            continue;
        s.replace(i - 1, j + 2 - i, QChar(Windows1252Char(static_cast<int>(v))));
    }
    return s;
}

TEST(DecodeHtmlEntities, EqualsBothPassesAsDescribed) {
    const QString pieces[] = {u"&#"_s, u"&"_s,  u"#"_s,   u"6"_s,     u"0"_s,   u"5"_s,   u";"_s,
                              u"x"_s,  u"25"_s, u"999"_s, u"&#38;"_s, u"039"_s, u"amp"_s, u"lt"_s};
    QRandomGenerator rng(777);
    for (int round = 0; round < 5000; ++round) {
        QString in;
        const int n = static_cast<int>(rng.bounded(1, 16));
        for (int k = 0; k < n; ++k)
            in += pieces[rng.bounded(static_cast<int>(std::size(pieces)))];
        ASSERT_EQ(DecodeHtmlEntities(in), ReplaceEveryEntry(NumericInPlace(in))) << in.toStdString();
    }
}

TEST(NumericReferencePass, ManyReferencesStayLinear) {
    const QString page = u"&#65;x"_s.repeated(200000);
    EXPECT_EQ(DecodeHtmlEntities(page), u"Ax"_s.repeated(200000));
}

class NamedSequences : public testing::TestWithParam<Case> {};
TEST_P(NamedSequences, Decode) {
    EXPECT_EQ(Decode(GetParam().input).toStdU16String(), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Pass2, NamedSequences,
    testing::Values(Case{u"Rock &amp; Roll", u"Rock & Roll"}, Case{u"<b>Jazz</b> FM", u"Jazz FM"},
                    Case{u"<B>Jazz</B>", u"<B>Jazz</B>"}, Case{u"&AMP;", u"&AMP;"},
                    Case{u"&lt;&gt;&quot;&apos;&#039;", u"<>\"''"}, Case{u"&ldquo;Hi&rdquo;", u"Hi"},
                    Case{u"&lsquo;Hi&rsquo;", u"\u2018Hi\u2019"},
                    Case{u"&rsquor;&rdquor;&lsquor;&ldquor;", u"\u2018\u201D\u201A\u201E"},
                    Case{u"&Scaron;&scaron;", u"\u0160\u0161"}, Case{u"&nbsp;", u" "},
                    Case{u"&hellip;&ldots;", u"\u2026\u2026"}, Case{u"&trade;&bull;", u"\u2122\u2022"},
                    Case{u"&ndash;&endash;&mdash;&emdash;", u"\u2013\u2013\u2014\u2014"},
                    Case{u"&iexcl;&yuml;&eacute;&Eacute;", u"\u00A1\u00FF\u00E9\u00C9"},
                    Case{u"&brvbar;&brkbar;&uml;&die;&macr;&hibar;&frac12;&half;",
                         u"\u00A6\u00A6\u00A8\u00A8\u00AF\u00AF\u00BD\u00BD"},
                    Case{u"&ETH;&eth;&THORN;&thorn;&AElig;&aelig;", u"\u00D0\u00F0\u00DE\u00FE\u00C6\u00E6"},
                    Case{u"&sp;&excl;&num;&dollar;&percent;&lpar;&rpar;&ast;&plus;&comma;", u" !#$%()*+,"},
                    Case{u"&hyphen;&minus;&period;&sol;&colon;&equals;&quest;&commat;", u"--./:=?@"},
                    Case{u"&lsqb;&bsol;&rsqb;&circ;&lowbar;&horbar;&grave;&lcub;&verbar;&rcub;&tilde;",
                         u"[\\]^__`{|}~"},
                    Case{u"&eacute", u"&eacute"}, Case{u"&unknown;", u"&unknown;"},
                    // Double decoding, caused by the order of the list.
                    Case{u"&amp;lt;", u"<"}, Case{u"&amp;eacute;", u"\u00E9"},
                    Case{u"&eacute&semi;", u"\u00E9"}, Case{u"&#38;amp;", u"&"},
                    Case{u"&amp;amp;", u"&amp;"},  // one replace per entry, not repeated
                    // Entries earlier in the list are not revisited by later ones.
                    Case{u"&lt;b>x", u"<b>x"}, Case{u"&amp;quot;", u"&quot;"}, Case{u"&amp;#65;", u"&#65;"}));

TEST(DecodeHtmlEntities, NeverProducesNoBreakSpaceByName) {
    EXPECT_FALSE(Decode(u"a&nbsp;b&amp;nbsp;c").contains(QChar(0x00A0)));
    EXPECT_EQ(Decode(u"&#160;"), QString(QChar(0x00A0)));
}

TEST(DecodeHtmlEntities, LeavesPlainTextAndEmptyTextAlone) {
    EXPECT_EQ(Decode(u""), QString());
    const QString plain = QStringLiteral("正體中文 Radio & more; #1");
    EXPECT_EQ(DecodeHtmlEntities(plain), plain);
}

TEST(HtmlNamedSequences, HoldsTheListInItsOrder) {
    const auto list = HtmlNamedSequences();
    ASSERT_EQ(list.size(), 165u);
    auto position = [&](std::u16string_view seq) {
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i].sequence == seq)
                return static_cast<int>(i + 1);
        return 0;
    };
    EXPECT_EQ(position(u"<b>"), 1);
    EXPECT_EQ(position(u"&amp;"), 9);
    EXPECT_EQ(position(u"&semi;"), 22);
    EXPECT_EQ(position(u"&lsquor;"), 39);
    EXPECT_EQ(position(u"&nbsp;"), 66);
    EXPECT_EQ(position(u"&iexcl;"), 67);
    EXPECT_EQ(position(u"&yuml;"), 165);
    EXPECT_EQ(position(u"&brkbar;"), position(u"&brvbar;") + 1);
    EXPECT_EQ(position(u"&die;"), position(u"&uml;") + 1);
    EXPECT_EQ(position(u"&hibar;"), position(u"&macr;") + 1);
    EXPECT_EQ(position(u"&half;"), position(u"&frac12;") + 1);
    // The Latin-1 block runs in code-point order from U+00A1 to U+00FF without a gap.
    char16_t expected = 0xA1;
    for (size_t i = 66; i < list.size(); ++i) {
        if (list[i].replacement == expected - 1)
            continue;  // an alias repeats its twin
        EXPECT_EQ(list[i].replacement, expected) << i + 1;
        ++expected;
    }
    EXPECT_EQ(expected, 0x100);
}

TEST(DecodeHtmlEntities, EqualsApplyingEveryEntryInTurn) {
    const char16_t* crafted[] = {u"&am<b>p;lt;",
                                 u"&eac&ldquo;ute;",
                                 u"&&num;039;",
                                 u"&eacute&semi;&amp;amp;",
                                 u"&am</b>p;&amp;semi;",
                                 u"&&amp;amp;;",
                                 u"&l&rdquo;t;&g&ldquo;t;",
                                 u"&num;039;&&num;039;",
                                 u"&amp;num;039;",
                                 u"&Yum&ldquo;l;&yuml&semi;"};
    for (const char16_t* text : crafted) {
        const QString in = QString::fromUtf16(text);
        EXPECT_EQ(DecodeHtmlEntities(in), ReplaceEveryEntry(in)) << in.toStdString();
    }
    // Random texts from pieces of references, without numeric references (pass 1 then leaves
    // them as they are).
    const QString pieces[] = {u"&"_s,   u";"_s,      u"#"_s,    u"amp"_s,  u"lt"_s,      u"semi"_s,
                              u"num"_s, u"039"_s,    u"<b>"_s,  u"</b>"_s, u"&ldquo;"_s, u"eacute"_s,
                              u"x"_s,   u"frac12"_s, u"nbsp"_s, u"<"_s,    u"b>"_s,      u"&rdquo;"_s};
    const QRegularExpression numeric(u"&#[0-9]+;"_s);
    QRandomGenerator rng(12345);
    int compared = 0;
    for (int round = 0; round < 5000; ++round) {
        QString in;
        const int n = static_cast<int>(rng.bounded(1, 14));
        for (int k = 0; k < n; ++k)
            in += pieces[rng.bounded(static_cast<int>(std::size(pieces)))];
        if (in.contains(numeric))
            continue;
        ASSERT_EQ(DecodeHtmlEntities(in), ReplaceEveryEntry(in)) << in.toStdString();
        ++compared;
    }
    EXPECT_GT(compared, 3000);
}

TEST(Windows1252Char, MatchesTheCodePage) {
    EXPECT_EQ(Windows1252Char(0x41), u'A');
    EXPECT_EQ(Windows1252Char(0x80), u'\u20AC');
    EXPECT_EQ(Windows1252Char(0x8E), u'\u017D');
    EXPECT_EQ(Windows1252Char(0x9D), u'\u009D');
    EXPECT_EQ(Windows1252Char(0xA0), u'\u00A0');
}

}  // namespace
}  // namespace wavelot
