#pragma once
// Byte-to-text conversion by Windows code-page number, reproducing what Windows yields.
//
// Stations and directories were made for Windows, so their bytes mean what the Windows code
// pages say, not what the plain standards say (932 gives U+FF5E for 81 60; 950 has the euro
// sign at A3 E1 and maps the user-defined Big5 rows to the Private Use Area, which is what the
// Big5 extension table is keyed by). The converters are ICU's transcriptions of the Windows
// tables, with the few places where ICU differs patched on top (see code_page.cpp).

#include <QByteArray>
#include <QString>

namespace wavelot {

inline constexpr int kCodePageUtf8 = 65001;
inline constexpr int kCodePageBig5 = 950;      // Traditional Chinese
inline constexpr int kCodePageGbk = 936;       // Simplified Chinese
inline constexpr int kCodePageShiftJis = 932;  // Japanese
inline constexpr int kCodePageKorean = 949;    // Unified Hangul Code

// True for the five code pages above.
bool IsSupportedCodePage(int codePage);

// Decodes bytes with a code page. More than three bytes starting with EF BB BF lose those three
// first, whatever the code page (exactly three are kept and decode as they stand). Zero bytes
// become NUL characters. Invalid or undefined sequences become U+FFFD; the bytes after them are
// decoded normally. Empty bytes or an unsupported code page give the empty text.
QString DecodeBytes(const QByteArray& bytes, int codePage);

// UTF-8 of the text up to its first NUL character; no byte-order mark, no terminator. An
// unpaired surrogate is written as U+FFFD.
QByteArray EncodeUtf8(const QString& text);

}  // namespace wavelot
