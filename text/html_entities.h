#pragma once
// HTML character references in text scraped from directory pages.

#include <QString>

#include <span>
#include <string_view>

namespace wavelot {

// Two passes over the text. First, decimal references "&#N;" with N at most 255 become the
// Windows-1252 character of byte N (one scan, left to right; a character produced here is not
// looked at again, so "&#38;#65;" gives "&#65;"). Then a fixed list of 165 named sequences
// (the bold tags "<b>" and "</b>", ASCII punctuation names, the Windows-1252 punctuation and the
// Latin-1 names with four old aliases) is replaced entry by entry, in list order, each over the
// result of the ones before: "&amp;" comes early, so "&amp;lt;" gives "<". Matching is exact
// and case-sensitive. Hexadecimal references are not known; anything not understood stays.
QString DecodeHtmlEntities(const QString& text);

struct HtmlNamedSequence {
    std::u16string_view sequence;
    char16_t replacement;  // 0: the sequence is removed
};

// The 165 named sequences in the order they are applied.
std::span<const HtmlNamedSequence> HtmlNamedSequences();

// Byte b (0 to 255) read as Windows-1252; the five bytes that code page leaves undefined give
// the control character of the same value.
char16_t Windows1252Char(int byte);

}  // namespace wavelot
