// The entity decoder's two passes: numeric references with their bounds, then the ordered list
// of named sequences, whose order produces double decoding.
#include <gtest/gtest.h>

#include "text/html_entities.h"

namespace wavelot {
namespace {

struct Case {
  const char16_t* input;
  std::u16string expected;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << QString::fromUtf16(c.input).toStdString();
}

QString Decode(const char16_t* text) { return DecodeHtmlEntities(QString::fromUtf16(text)); }

class NumericReferences : public testing::TestWithParam<Case> {};
TEST_P(NumericReferences, Decode) {
  EXPECT_EQ(Decode(GetParam().input).toStdU16String(), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Pass1, NumericReferences,
    testing::Values(
        Case{u"&#65;&#66;", u"AB"}, Case{u"&#0065;", u"A"}, Case{u"&#00000000000065;", u"A"},
        Case{u"&#233;", u"\u00E9"}, Case{u"&#255;", u"\u00FF"},
        // 128 to 159 are Windows-1252, its undefined bytes their own control characters.
        Case{u"&#150;", u"\u2013"}, Case{u"&#128;", u"\u20AC"}, Case{u"&#159;", u"\u0178"},
        Case{u"&#129;&#141;&#143;&#144;&#157;", u"\u0081\u008D\u008F\u0090\u009D"},
        Case{u"&#0;", std::u16string(1, u'\0')},
        // Above 255, without digits, without semicolon, hexadecimal: left as they stand.
        Case{u"&#256;", u"&#256;"}, Case{u"&#8217;", u"&#8217;"},
        Case{u"&#99999999999999999999;", u"&#99999999999999999999;"},
        Case{u"&#65", u"&#65"}, Case{u"&#;", u"&#;"}, Case{u"&#x41;", u"&#x41;"},
        Case{u"&#65 ;", u"&#65 ;"}, Case{u"&#", u"&#"}, Case{u"x&#6;", u"x\u0006"},
        // A reference needs four characters; a short tail is skipped.
        Case{u"ab&#6", u"ab&#6"},
        // One scan: what a reference produces is not examined again.
        Case{u"&#38;#65;", u"&#65;"}, Case{u"&#38;&#65;", u"&A"},
        // A refused reference does not stop the ones after it.
        Case{u"&#300;&#65;", u"&#300;A"}, Case{u"a&#65;b&#66;c", u"aAbBc"}));

class NamedSequences : public testing::TestWithParam<Case> {};
TEST_P(NamedSequences, Decode) {
  EXPECT_EQ(Decode(GetParam().input).toStdU16String(), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(
    Pass2, NamedSequences,
    testing::Values(
        Case{u"Rock &amp; Roll", u"Rock & Roll"}, Case{u"<b>Jazz</b> FM", u"Jazz FM"},
        Case{u"<B>Jazz</B>", u"<B>Jazz</B>"}, Case{u"&AMP;", u"&AMP;"},
        Case{u"&lt;&gt;&quot;&apos;&#039;", u"<>\"''"},
        Case{u"&ldquo;Hi&rdquo;", u"Hi"}, Case{u"&lsquo;Hi&rsquo;", u"\u2018Hi\u2019"},
        Case{u"&rsquor;&rdquor;&lsquor;&ldquor;", u"\u2018\u201D\u201A\u201E"},
        Case{u"&Scaron;&scaron;", u"\u0160\u0161"}, Case{u"&nbsp;", u" "},
        Case{u"&hellip;&ldots;", u"\u2026\u2026"}, Case{u"&trade;&bull;", u"\u2122\u2022"},
        Case{u"&ndash;&endash;&mdash;&emdash;", u"\u2013\u2013\u2014\u2014"},
        Case{u"&iexcl;&yuml;&eacute;&Eacute;", u"\u00A1\u00FF\u00E9\u00C9"},
        Case{u"&brvbar;&brkbar;&uml;&die;&macr;&hibar;&frac12;&half;",
             u"\u00A6\u00A6\u00A8\u00A8\u00AF\u00AF\u00BD\u00BD"},
        Case{u"&ETH;&eth;&THORN;&thorn;&AElig;&aelig;", u"\u00D0\u00F0\u00DE\u00FE\u00C6\u00E6"},
        Case{u"&sp;&excl;&num;&dollar;&percent;&lpar;&rpar;&ast;&plus;&comma;",
             u" !#$%()*+,"},
        Case{u"&hyphen;&minus;&period;&sol;&colon;&equals;&quest;&commat;", u"--./:=?@"},
        Case{u"&lsqb;&bsol;&rsqb;&circ;&lowbar;&horbar;&grave;&lcub;&verbar;&rcub;&tilde;",
             u"[\\]^__`{|}~"},
        Case{u"&eacute", u"&eacute"}, Case{u"&unknown;", u"&unknown;"},
        // Double decoding, caused by the order of the list.
        Case{u"&amp;lt;", u"<"}, Case{u"&amp;eacute;", u"\u00E9"},
        Case{u"&eacute&semi;", u"\u00E9"}, Case{u"&#38;amp;", u"&"},
        Case{u"&amp;amp;", u"&amp;"},  // one replace per entry, not repeated
        // Entries earlier in the list are not revisited by later ones.
        Case{u"&lt;b>x", u"<b>x"}, Case{u"&amp;quot;", u"&quot;"},
        Case{u"&amp;#65;", u"&#65;"}));

TEST(DecodeHtmlEntities, NeverProducesNoBreakSpaceByName) {
  EXPECT_FALSE(Decode(u"a&nbsp;b&amp;nbsp;c").contains(QChar(0x00A0)));
  EXPECT_EQ(Decode(u"&#160;"), QString(QChar(0x00A0)));
}

TEST(DecodeHtmlEntities, LeavesPlainTextAndEmptyTextAlone) {
  EXPECT_EQ(Decode(u""), QString());
  const QString plain = QStringLiteral("正體中文 Radio & more; #1");
  EXPECT_EQ(DecodeHtmlEntities(plain), plain);
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
