#pragma once
// A strict, single-pass reader for a JSON array of flat objects, such as a directory's list of
// stations. It checks the whole text as JSON (RFC 8259: one value, nesting up to 512 deep)
// and hands each object element only the members it asks for, without building a document: an
// answer of ten thousand stations has about thirty members each, of which a few are wanted.
//
// Pure; any thread.

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <functional>
#include <string_view>
#include <vector>

namespace wavelot {

// One wanted member of an object, as it stood: absent, a string (decoded), a number, or
// anything else (true, false, null, an array, an object).
struct JsonMember {
    enum class Kind { Absent, String, Number, Other };
    Kind kind = Kind::Absent;
    QString text;       // Kind::String
    double number = 0;  // Kind::Number
};

// keys: the wanted member names; onObject gets, for each object element of the array in order,
// the members in the order of keys (when a name repeats, its last value). Elements that are not
// objects are checked and skipped. onObject is called only once the whole text has been checked,
// so a broken answer reaches it not at all. False when the text is not a JSON array.
bool ScanJsonObjectArray(const QByteArray& json, const std::vector<std::string_view>& keys,
                         const std::function<void(const std::vector<JsonMember>&)>& onObject);
// The same over text already decoded (as the raw-text box holds it): no conversion to UTF-8.
bool ScanJsonObjectArray(QStringView json, const std::vector<std::string_view>& keys,
                         const std::function<void(const std::vector<JsonMember>&)>& onObject);

}  // namespace wavelot
