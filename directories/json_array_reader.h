#pragma once
// Reads a JSON array of flat objects, such as a directory's list of stations, with simdjson's
// On-Demand reader: the whole text is checked as UTF-8 and for its structure, and each object
// element hands over only the members asked for, without building a document. An answer of ten
// thousand stations has about thirty members each, of which a few are wanted; the others are
// stepped over, not decoded, so a malformed scalar among them is not noticed.
//
// Any thread; each thread keeps its own buffers (see the source) from one text to the next.

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <functional>
#include <span>
#include <string_view>
#include <vector>

namespace wavelot {

// Spare bytes the reader needs readable after the text (any content). A buffer with at least
// this much capacity beyond its size is read in place; any other is copied once.
inline constexpr qsizetype kJsonReadPadding = 64;

// One wanted member of an object, as it stood: absent, a string, a number, or anything else
// (true, false, null, an array, an object).
struct JsonMember {
    enum class Kind { Absent, String, Number, Other };
    Kind kind = Kind::Absent;
    // Kind::String: valid UTF-8, escapes decoded; it lives only as long as the call to onObject,
    // so only what is kept is turned into a QString.
    std::string_view text;
    double number = 0;  // Kind::Number
};

// keys: the wanted member names, 1 to 64, none empty; onObject gets, for each object element of
// the array in order, the members in the order of keys (when a name repeats, its last value; a
// name written with escapes is not looked up). Elements that are not objects are stepped over unchecked.
// onObject is called only once the whole text has been read, so a broken or cut-off text reaches
// it not at all. False when the text is not one JSON array (a UTF-8 byte order mark before it is
// allowed).
bool ReadJsonObjectArray(const QByteArray& json, const std::vector<std::string_view>& keys,
                         const std::function<void(std::span<const JsonMember>)>& onObject);
// The same over text already decoded (as the raw-text box holds it), turned back into UTF-8
// (a lone surrogate becomes U+FFFD) in a buffer the thread keeps.
bool ReadJsonObjectArray(QStringView json, const std::vector<std::string_view>& keys,
                         const std::function<void(std::span<const JsonMember>)>& onObject);

}  // namespace wavelot
