#include "text/html_entities.h"

#include <QSet>

#include <algorithm>
#include <array>
#include <string_view>

namespace wavelot {
namespace {

// The order is behaviour: each entry works on what the earlier ones left.
constexpr std::array<HtmlNamedSequence, 165> kNamedSequences{{
    {u"<b>", 0},
    {u"</b>", 0},
    {u"&sp;", 0x20},
    {u"&excl;", 0x21},
    {u"&quot;", 0x22},
    {u"&num;", 0x23},
    {u"&dollar;", 0x24},
    {u"&percent;", 0x25},
    {u"&amp;", 0x26},
    {u"&apos;", 0x27},
    {u"&#039;", 0x27},
    {u"&lpar;", 0x28},
    {u"&rpar;", 0x29},
    {u"&ast;", 0x2A},
    {u"&plus;", 0x2B},
    {u"&comma;", 0x2C},
    {u"&hyphen;", 0x2D},
    {u"&minus;", 0x2D},
    {u"&period;", 0x2E},
    {u"&sol;", 0x2F},
    {u"&colon;", 0x3A},
    {u"&semi;", 0x3B},
    {u"&lt;", 0x3C},
    {u"&equals;", 0x3D},
    {u"&gt;", 0x3E},
    {u"&quest;", 0x3F},
    {u"&commat;", 0x40},
    {u"&lsqb;", 0x5B},
    {u"&bsol;", 0x5C},
    {u"&rsqb;", 0x5D},
    {u"&circ;", 0x5E},
    {u"&lowbar;", 0x5F},
    {u"&horbar;", 0x5F},
    {u"&grave;", 0x60},
    {u"&lcub;", 0x7B},
    {u"&verbar;", 0x7C},
    {u"&rcub;", 0x7D},
    {u"&tilde;", 0x7E},
    // Windows-1252 punctuation.
    {u"&lsquor;", 0x201A},
    {u"&fnof;", 0x0192},
    {u"&ldquor;", 0x201E},
    {u"&hellip;", 0x2026},
    {u"&ldots;", 0x2026},
    {u"&dagger;", 0x2020},
    {u"&Dagger;", 0x2021},
    {u"&permil;", 0x2030},
    {u"&Scaron;", 0x0160},
    {u"&lsaquo;", 0x2039},
    {u"&OElig;", 0x0152},
    {u"&lsquo;", 0x2018},
    {u"&rsquor;", 0x2018},
    {u"&rsquo;", 0x2019},
    // The curly double quotes are dropped, not replaced.
    {u"&ldquo;", 0},
    {u"&rdquo;", 0},
    {u"&rdquor;", 0x201D},
    {u"&bull;", 0x2022},
    {u"&ndash;", 0x2013},
    {u"&endash;", 0x2013},
    {u"&mdash;", 0x2014},
    {u"&emdash;", 0x2014},
    {u"&trade;", 0x2122},
    {u"&scaron;", 0x0161},
    {u"&rsaquo;", 0x203A},
    {u"&oelig;", 0x0153},
    {u"&Yuml;", 0x0178},
    // An ordinary space: U+00A0 is never produced by name.
    {u"&nbsp;", 0x20},
    // Latin-1, in code-point order, each old alias right after its twin.
    {u"&iexcl;", 0xA1},
    {u"&cent;", 0xA2},
    {u"&pound;", 0xA3},
    {u"&curren;", 0xA4},
    {u"&yen;", 0xA5},
    {u"&brvbar;", 0xA6},
    {u"&brkbar;", 0xA6},
    {u"&sect;", 0xA7},
    {u"&uml;", 0xA8},
    {u"&die;", 0xA8},
    {u"&copy;", 0xA9},
    {u"&ordf;", 0xAA},
    {u"&laquo;", 0xAB},
    {u"&not;", 0xAC},
    {u"&shy;", 0xAD},
    {u"&reg;", 0xAE},
    {u"&macr;", 0xAF},
    {u"&hibar;", 0xAF},
    {u"&deg;", 0xB0},
    {u"&plusmn;", 0xB1},
    {u"&sup2;", 0xB2},
    {u"&sup3;", 0xB3},
    {u"&acute;", 0xB4},
    {u"&micro;", 0xB5},
    {u"&para;", 0xB6},
    {u"&middot;", 0xB7},
    {u"&cedil;", 0xB8},
    {u"&sup1;", 0xB9},
    {u"&ordm;", 0xBA},
    {u"&raquo;", 0xBB},
    {u"&frac14;", 0xBC},
    {u"&frac12;", 0xBD},
    {u"&half;", 0xBD},
    {u"&frac34;", 0xBE},
    {u"&iquest;", 0xBF},
    {u"&Agrave;", 0xC0},
    {u"&Aacute;", 0xC1},
    {u"&Acirc;", 0xC2},
    {u"&Atilde;", 0xC3},
    {u"&Auml;", 0xC4},
    {u"&Aring;", 0xC5},
    {u"&AElig;", 0xC6},
    {u"&Ccedil;", 0xC7},
    {u"&Egrave;", 0xC8},
    {u"&Eacute;", 0xC9},
    {u"&Ecirc;", 0xCA},
    {u"&Euml;", 0xCB},
    {u"&Igrave;", 0xCC},
    {u"&Iacute;", 0xCD},
    {u"&Icirc;", 0xCE},
    {u"&Iuml;", 0xCF},
    {u"&ETH;", 0xD0},
    {u"&Ntilde;", 0xD1},
    {u"&Ograve;", 0xD2},
    {u"&Oacute;", 0xD3},
    {u"&Ocirc;", 0xD4},
    {u"&Otilde;", 0xD5},
    {u"&Ouml;", 0xD6},
    {u"&times;", 0xD7},
    {u"&Oslash;", 0xD8},
    {u"&Ugrave;", 0xD9},
    {u"&Uacute;", 0xDA},
    {u"&Ucirc;", 0xDB},
    {u"&Uuml;", 0xDC},
    {u"&Yacute;", 0xDD},
    {u"&THORN;", 0xDE},
    {u"&szlig;", 0xDF},
    {u"&agrave;", 0xE0},
    {u"&aacute;", 0xE1},
    {u"&acirc;", 0xE2},
    {u"&atilde;", 0xE3},
    {u"&auml;", 0xE4},
    {u"&aring;", 0xE5},
    {u"&aelig;", 0xE6},
    {u"&ccedil;", 0xE7},
    {u"&egrave;", 0xE8},
    {u"&eacute;", 0xE9},
    {u"&ecirc;", 0xEA},
    {u"&euml;", 0xEB},
    {u"&igrave;", 0xEC},
    {u"&iacute;", 0xED},
    {u"&icirc;", 0xEE},
    {u"&iuml;", 0xEF},
    {u"&eth;", 0xF0},
    {u"&ntilde;", 0xF1},
    {u"&ograve;", 0xF2},
    {u"&oacute;", 0xF3},
    {u"&ocirc;", 0xF4},
    {u"&otilde;", 0xF5},
    {u"&ouml;", 0xF6},
    {u"&divide;", 0xF7},
    {u"&oslash;", 0xF8},
    {u"&ugrave;", 0xF9},
    {u"&uacute;", 0xFA},
    {u"&ucirc;", 0xFB},
    {u"&uuml;", 0xFC},
    {u"&yacute;", 0xFD},
    {u"&thorn;", 0xFE},
    {u"&yuml;", 0xFF},
}};

constexpr std::array<char16_t, 32> kWindows1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Pass 1. Replacing in place and going on with the next position is the same as copying the
// text once, left to right, with each reference written as its character and the scan resumed
// right after the reference; the test "fewer than four characters left" reads the same either
// way. Copying keeps a page full of references linear.
QString DecodeNumericReferences(const QString& s) {
    QString out;
    out.reserve(s.size());
    const qsizetype size = s.size();
    qsizetype copied = 0;  // s[copied, i) still has to go to out
    for (qsizetype i = 0; i + 4 <= size; ++i) {
        if (s.at(i) != u'&' || s.at(i + 1) != u'#')
            continue;
        qsizetype end = i + 2;  // one past the last digit
        while (end < size && IsDigit(s.at(end)))
            ++end;
        if (end == i + 2 || end >= size || s.at(end) != u';')
            continue;
        // Leading zeros are allowed; any value above 255 is refused, however long the run.
        int value = 0;
        bool tooLarge = false;
        for (qsizetype k = i + 2; k < end && !tooLarge; ++k) {
            value = value * 10 + (s.at(k).unicode() - u'0');
            tooLarge = value > 255;
        }
        if (tooLarge)
            continue;
        out.append(QStringView(s).mid(copied, i - copied));
        out.append(QChar(Windows1252Char(value)));
        copied = end + 1;
        i = end;  // the loop's ++i resumes right after the ';'
    }
    if (copied == 0)
        return s;
    out.append(QStringView(s).mid(copied));
    return out;
}

constexpr qsizetype kLongestSequence = [] {
    size_t longest = 0;
    for (const HtmlNamedSequence& e : kNamedSequences)
        longest = std::max(longest, e.sequence.size());
    return static_cast<qsizetype>(longest);
}();

// The "&...;" runs of s that could be one of the sequences. Replacing a sequence can only
// create a new occurrence of a later one through the character it leaves behind, or through
// the text it joins when it removes; of the replacements, only '#', '&' and ';' occur in later
// sequences, and the removals are the bold tags and the curly double quotes. So the set is
// recomputed after those entries changed s, and between them it is a superset of what can
// match, which lets a page skip the scans for the many sequences it does not hold.
QSet<QString> CandidateSequences(const QString& s) {
    QSet<QString> found;
    for (qsizetype i = s.indexOf(u'&'); i >= 0; i = s.indexOf(u'&', i + 1)) {
        const qsizetype end = std::min(s.size(), i + kLongestSequence);
        for (qsizetype j = i + 1; j < end; ++j) {
            if (s.at(j) == u';') {
                found.insert(s.mid(i, j - i + 1));
                break;
            }
            if (s.at(j) == u'&')
                break;
        }
    }
    return found;
}

bool MayCreateLaterSequences(const HtmlNamedSequence& entry) {
    return entry.replacement == 0 || entry.replacement == u'#' || entry.replacement == u'&' ||
           entry.replacement == u';';
}

void ReplaceNamedSequences(QString& s) {
    QSet<QString> candidates;
    bool stale = true;
    for (const HtmlNamedSequence& entry : kNamedSequences) {
        const auto* sequence = reinterpret_cast<const QChar*>(entry.sequence.data());
        const auto length = static_cast<qsizetype>(entry.sequence.size());
        const QStringView view(sequence, length);
        if (entry.sequence.front() == u'&') {
            if (stale) {
                candidates = CandidateSequences(s);
                stale = false;
            }
            if (!candidates.contains(view.toString()))
                continue;
        } else if (!s.contains(view)) {
            continue;
        }
        const QChar replacement(entry.replacement);
        s.replace(sequence, length, &replacement, entry.replacement == 0 ? 0 : 1);
        if (MayCreateLaterSequences(entry))
            stale = true;
    }
}

}  // namespace

std::span<const HtmlNamedSequence> HtmlNamedSequences() {
    return kNamedSequences;
}

char16_t Windows1252Char(int byte) {
    if (byte >= 0x80 && byte <= 0x9F)
        return kWindows1252High[static_cast<size_t>(byte - 0x80)];
    return static_cast<char16_t>(byte);
}

QString DecodeHtmlEntities(const QString& text) {
    QString s = DecodeNumericReferences(text);
    ReplaceNamedSequences(s);
    return s;
}

}  // namespace wavelot
