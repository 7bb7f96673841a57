#include "directories/json_array_reader.h"

#include <simdjson.h>

#include <cstring>
#include <utility>

namespace wavelot {

namespace {

namespace od = simdjson::ondemand;

static_assert(kJsonReadPadding >= simdjson::SIMDJSON_PADDING);

// A wanted member's value, read and checked whole.
bool ReadMember(od::value value, JsonMember& out) {
    out = JsonMember{};
    od::json_type type;
    if (value.type().get(type))
        return false;
    switch (type) {
    case od::json_type::string: {
        std::string_view text;
        if (value.get_string().get(text))
            return false;
        out.kind = JsonMember::Kind::String;
        out.text = QString::fromUtf8(text.data(), qsizetype(text.size()));
        return true;
    }
    case od::json_type::number:
        out.kind = JsonMember::Kind::Number;
        return !value.get_double().get(out.number);
    case od::json_type::boolean: {
        bool b;
        out.kind = JsonMember::Kind::Other;
        return !value.get_bool().get(b);
    }
    case od::json_type::null: {
        bool null = false;
        out.kind = JsonMember::Kind::Other;
        return !value.is_null().get(null) && null;
    }
    default:  // an array or an object: stepped over as a whole by the next member
        out.kind = JsonMember::Kind::Other;
        return true;
    }
}

bool ReadObject(od::object object, const std::vector<std::string_view>& keys, std::vector<JsonMember>& out) {
    for (auto member : object) {
        od::field field;
        if (std::move(member).get(field))
            return false;
        // Compared as written: the keys hold neither quotes nor backslashes.
        const simdjson::ondemand::raw_json_string name = field.key();
        for (size_t i = 0; i < keys.size(); ++i) {
            if (name.unsafe_is_equal(keys[i])) {
                if (!ReadMember(field.value(), out[i]))
                    return false;
                break;
            }
        }
    }
    return true;
}

bool ReadArray(simdjson::padded_string_view text, const std::vector<std::string_view>& keys,
               std::vector<std::vector<JsonMember>>& objects) {
    od::parser parser;
    od::document document;
    od::array array;
    if (parser.iterate(text).get(document) || document.get_array().get(array))
        return false;
    for (auto element : array) {
        od::value value;
        od::json_type type;
        if (element.get(value) || value.type().get(type))
            return false;
        if (type != od::json_type::object)
            continue;
        od::object object;
        if (value.get_object().get(object) || !ReadObject(object, keys, objects.emplace_back(keys.size())))
            return false;
    }
    // Nothing may follow the array.
    return document.current_location().error() == simdjson::OUT_OF_BOUNDS;
}

}  // namespace

bool ReadJsonObjectArray(const QByteArray& json, const std::vector<std::string_view>& keys,
                         const std::function<void(const std::vector<JsonMember>&)>& onObject) {
    const char* begin = json.constData();
    size_t size = size_t(json.size());
    if (size >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0) {
        begin += 3;
        size -= 3;
    }
    // The bytes the buffer holds from begin on, its spare capacity included (none for raw data).
    const qsizetype room = json.capacity() - (begin - json.constData());
    simdjson::padded_string copy;
    simdjson::padded_string_view text;
    if (room >= qsizetype(size) + kJsonReadPadding) {
        text = simdjson::padded_string_view(begin, size, size_t(room));
    } else {
        copy = simdjson::padded_string(begin, size);
        text = copy;
    }
    std::vector<std::vector<JsonMember>> objects;
    if (!ReadArray(text, keys, objects))
        return false;
    for (const std::vector<JsonMember>& members : objects)
        onObject(members);
    return true;
}

}  // namespace wavelot
