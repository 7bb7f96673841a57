#pragma once
// INI files: Setting.ini and the INI station lists.
//
// Rules kept from the Windows profile service, so files move between this program and the
// Windows one both ways:
// - section and key names match without regard to case; the first matching key wins;
// - values come back with surrounding blanks trimmed and one pair of enclosing quotes (single
//   or double) removed; ReadIni cuts them to 127 characters;
// - a write updates an existing key in place, appends a new key at the end of its section and
//   a new section at the end of the file; every other line stays byte for byte as it was;
// - a file that starts with the UTF-16LE byte-order mark stays UTF-16LE; any other file is
//   UTF-8 (the "ANSI" of this platform); a file created by a first write is UTF-8.
//
// A write replaces the file atomically (temporary file beside it, then rename), so a crash, a
// kill or a full disk never leaves a truncated file where a good one was. Line breaks inside a
// written value are turned into blanks: a value can never add lines or sections of its own.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace wavelot {

// Longest value ReadIni returns (the Windows service's 128-character buffer minus its NUL).
inline constexpr int kIniReadLimit = 127;

// One INI file parsed once, for readers that need many keys (the station-list reader) and for
// the writer. Keeps every line's original bytes so untouched lines are written back unchanged.
class IniDocument {
public:
    enum class Encoding { Utf8, Utf8Bom, Utf16Le };

    // Missing or unreadable file: an empty UTF-8 document, and false.
    bool Load(const QString& file);
    void Parse(const QByteArray& bytes);

    // Full value (trimmed, unquoted, no length limit), or nullopt when the key is not there.
    std::optional<QString> Value(const QString& section, const QString& key) const;
    // Inserts or updates; false only for a key or section name that cannot be written.
    bool SetValue(const QString& section, const QString& key, const QString& value);
    // Number of "key=value" lines in the section (all of them when it appears more than once).
    int KeyCount(const QString& section) const;

    QByteArray Serialize() const;
    // Atomic replace of the file; false when the temporary file cannot be written or renamed,
    // in which case the old file is untouched.
    bool Save(const QString& file) const;

    Encoding encoding() const { return encoding_; }

private:
    struct Line {
        QString text;    // decoded, without its line break
        QByteArray raw;  // original bytes including the line break; empty once changed
        QString eol;     // the line break it had ("\r\n", "\n", "\r" or none)
    };
    QByteArray Encode(const QString& text) const;
    int FindSection(const QString& section, int from) const;
    int SectionEnd(int headerLine) const;
    QString DefaultEol() const;

    // Case-folded section -> case-folded key -> (value, line), first occurrence only; built on
    // the first lookup so a reader asking for thousands of keys does not rescan the file each time.
    struct KeyIndex {
        QHash<QString, QHash<QString, QString>> values;
        QHash<QString, int> keyCounts;
    };
    const KeyIndex& Index() const;

    std::vector<Line> lines_;
    Encoding encoding_ = Encoding::Utf8;
    mutable std::optional<KeyIndex> index_;
};

// Value of the key, at most 127 characters; empty when the file, section or key is missing.
QString ReadIni(const QString& section, const QString& key, const QString& file);

// The whole value, without the 127-character cut: for values that must survive intact (a
// stream address of a station started last is often longer than 127 characters).
QString ReadIniWhole(const QString& section, const QString& key, const QString& file);

// Lenient number: leading blanks skipped, an optional sign and the digits that follow; reading
// stops at the first other character; no number (or a missing key) gives 0.
int ReadIniInt(const QString& section, const QString& key, const QString& file);
// Strict number: the whole (trimmed) value must be a decimal integer. Missing or non-numeric
// values read as 0; ok, when given, tells which happened.
int ReadIniIntStrict(const QString& section, const QString& key, const QString& file, bool* ok = nullptr);

// The value rules, shared with the one-pass list reader: blanks (space, tab) trimmed at both
// ends; one pair of enclosing quotes, single or double, removed.
QStringView TrimIniBlanks(QStringView v);
QStringView UnquoteIniValue(QStringView v);

// Number conversions shared with readers that hold an IniDocument.
int LenientInt(const QString& text);
int StrictInt(const QString& text, bool* ok = nullptr);

// The outcome is returned for tests and tools; the program's callers ignore it.
bool WriteIni(const QString& section, const QString& key, const QString& value, const QString& file);
// Plain decimal digits, "-" when negative, no blanks.
bool WriteIni(const QString& section, const QString& key, int value, const QString& file);
// The volume is held as a double with an integral value: written like an integer. A value
// with a fraction keeps it ("37.5"); NaN and infinities write "0".
bool WriteIni(const QString& section, const QString& key, double value, const QString& file);

QString FormatIniNumber(double value);

}  // namespace wavelot
