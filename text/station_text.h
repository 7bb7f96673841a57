#pragma once
// Station text: the meaning of a station's Code field, and the Big5 extension table ("Uao.txt")
// that replaces code units after decoding.
//
// The table exists because the Windows Big5 conversion has no characters for the user-defined
// rows: it hands out Private Use Area code units there, and the table (keyed by exactly those
// units) says which real character each one stands for. It is applied to all station text,
// whatever the code page.

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

namespace wavelot {

// Values of a station's Code field.
inline constexpr int kStationCodeUtf8 = 0;
inline constexpr int kStationCodeBig5 = 1;
inline constexpr int kStationCodeGbk = 2;
inline constexpr int kStationCodeShiftJis = 3;
inline constexpr int kStationCodeKorean = 4;
inline constexpr int kStationCodeCount = 5;

// The code page of a station code; 0 for any other value.
int StationCodePage(int code);
// The name the station lists and the editor show ("UTF-8", "正體中文", "簡體中文", "日文",
// "韓文"); empty for any other value.
QString StationCodeName(int code);

// One entry per UTF-16 code unit (plus one spare, never looked up); 0 means "keep the unit".
class Big5ExtTable {
public:
    static constexpr int kSize = 65537;

    char16_t Map(char16_t unit) const {
        const int32_t v = entries_[unit];
        return v != 0 ? static_cast<char16_t>(v) : unit;
    }
    int32_t Entry(int index) const { return entries_[static_cast<size_t>(index)]; }
    void Set(char16_t key, char16_t value) { entries_[key] = value; }
    void Clear() { entries_.fill(0); }
    bool IsEmpty() const;

private:
    std::array<int32_t, kSize> entries_{};
};

// The process-wide table: all zero until LoadBig5ExtTable, written only by start-up (and by
// tests), read-only afterwards.
Big5ExtTable& GlobalBig5ExtTable();

// Applies one "Uao.txt" line: the first four characters are the key and the last four the
// value, both hexadecimal (either case); nothing is trimmed. False, and the table unchanged,
// for a line not of that form (shorter than four characters, or either group not four hex
// digits). A line of exactly four characters uses them as key and value alike.
bool ApplyBig5ExtLine(const QString& line, Big5ExtTable& table);

// Fills the table from "Uao.txt" line by line, in file order (later lines win, 0000 removes a
// replacement, malformed lines are skipped). The file is read by the whole-file text reader, so
// one that is missing, empty or 4 MiB or larger leaves the table as it is; the result says
// whether the file was read.
bool LoadBig5ExtTable(const QString& path, Big5ExtTable& table);
bool LoadBig5ExtTable(const QString& path);  // into the global table

// Every code unit replaced by its entry when that is non-zero; the length never changes and
// surrogate halves are looked up one by one.
QString ApplyBig5Ext(const QString& text, const Big5ExtTable& table);
QString ApplyBig5Ext(const QString& text);  // with the global table

// DecodeBytes with the station code's code page, then the global table. An unknown code gives
// the empty text.
QString DecodeStationText(const QByteArray& bytes, int code);
QString DecodeStationText(const QByteArray& bytes, int code, const Big5ExtTable& table);

}  // namespace wavelot
