#include "directories/json_array_reader.h"

#include <QStringEncoder>

#include <simdjson.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
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
        out.kind = JsonMember::Kind::String;
        return !value.get_string().get(out.text);
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

// The wanted keys by their first byte, as a set of their indexes: most members of an object are
// not wanted, and a glance at one byte turns nearly all of them away.
using KeyIndex = std::array<uint64_t, 256>;

KeyIndex IndexKeys(const std::vector<std::string_view>& keys) {
    KeyIndex index{};
    for (size_t i = 0; i < keys.size(); ++i)
        index[uint8_t(keys[i][0])] |= uint64_t(1) << i;
    return index;
}

// out: one member per key.
bool ReadObject(od::object object, const std::vector<std::string_view>& keys, const KeyIndex& index,
                JsonMember* out) {
    for (auto member : object) {
        od::field field;
        if (std::move(member).get(field))
            return false;
        // Compared as written: the keys hold neither quotes nor backslashes.
        const od::raw_json_string name = field.key();
        for (uint64_t candidates = index[uint8_t(*name.raw())]; candidates != 0;
             candidates &= candidates - 1) {
            const int i = std::countr_zero(candidates);
            if (name.unsafe_is_equal(keys[size_t(i)])) {
                if (!ReadMember(field.value(), out[i]))
                    return false;
                break;
            }
        }
    }
    return true;
}

bool ReadArray(od::parser& parser, simdjson::padded_string_view text,
               const std::vector<std::string_view>& keys, std::vector<JsonMember>& objects) {
    od::document document;
    od::array array;
    const KeyIndex index = IndexKeys(keys);
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
        if (value.get_object().get(object))
            return false;
        objects.resize(objects.size() + keys.size());
        if (!ReadObject(object, keys, index, objects.data() + objects.size() - keys.size()))
            return false;
    }
    // Nothing may follow the array.
    return document.current_location().error() == simdjson::OUT_OF_BOUNDS;
}

// What a thread keeps from one text to the next: the parser's buffers, sized by the largest text
// read so far, the room a text is copied or turned back into UTF-8 in, and the members found. Fresh memory of
// that size costs more to touch than the reading itself. A text read from inside onObject, while these still
// hold the strings handed over, gets buffers of its own.
struct Buffers {
    od::parser parser;
    QByteArray utf8;
    std::vector<JsonMember> objects;  // the wanted members of each object, one after another
};

class BuffersInUse {
public:
    BuffersInUse() : kept_(inUse_ ? own_.emplace() : kept()), wasInUse_(inUse_) { inUse_ = true; }
    ~BuffersInUse() { inUse_ = wasInUse_; }
    Buffers& operator*() { return kept_; }
    Buffers* operator->() { return &kept_; }

private:
    static Buffers& kept() {
        thread_local Buffers buffers;
        return buffers;
    }
    static thread_local bool inUse_;
    std::optional<Buffers> own_;
    Buffers& kept_;
    const bool wasInUse_;
};
thread_local bool BuffersInUse::inUse_ = false;

bool ValidKeys(const std::vector<std::string_view>& keys) {
    return !keys.empty() && keys.size() <= 64 && !std::ranges::any_of(keys, &std::string_view::empty);
}

// room: the bytes readable from begin on, at least size + kJsonReadPadding.
bool Read(Buffers& buffers, const char* begin, size_t size, size_t room,
          const std::vector<std::string_view>& keys,
          const std::function<void(std::span<const JsonMember>)>& onObject) {
    if (size >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0) {
        begin += 3;
        size -= 3;
        room -= 3;
    }
    std::vector<JsonMember>& objects = buffers.objects;
    objects.clear();
    if (!ReadArray(buffers.parser, simdjson::padded_string_view(begin, size, room), keys, objects))
        return false;
    for (size_t i = 0; i < objects.size(); i += keys.size())
        onObject(std::span<const JsonMember>(objects).subspan(i, keys.size()));
    return true;
}

}  // namespace

bool ReadJsonObjectArray(const QByteArray& json, const std::vector<std::string_view>& keys,
                         const std::function<void(std::span<const JsonMember>)>& onObject) {
    if (!ValidKeys(keys))
        return false;
    BuffersInUse buffers;
    // Spare capacity behind the bytes is read in place (raw data has none).
    if (json.capacity() - json.size() >= kJsonReadPadding)
        return Read(*buffers, json.constData(), size_t(json.size()), size_t(json.capacity()), keys, onObject);
    // Else copied once, into the thread's buffer.
    QByteArray& copy = buffers->utf8;
    copy.resize(json.size() + kJsonReadPadding);
    std::memcpy(copy.data(), json.constData(), size_t(json.size()));
    return Read(*buffers, copy.constData(), size_t(json.size()), size_t(copy.size()), keys, onObject);
}

bool ReadJsonObjectArray(QStringView json, const std::vector<std::string_view>& keys,
                         const std::function<void(std::span<const JsonMember>)>& onObject) {
    if (!ValidKeys(keys))
        return false;
    BuffersInUse buffers;
    QStringEncoder encoder(QStringEncoder::Utf8);
    QByteArray& utf8 = buffers->utf8;
    utf8.resize(encoder.requiredSpace(json.size()) + kJsonReadPadding);
    const qsizetype size = encoder.appendToBuffer(utf8.data(), json) - utf8.data();
    return Read(*buffers, utf8.constData(), size_t(size), size_t(utf8.size()), keys, onObject);
}

}  // namespace wavelot
