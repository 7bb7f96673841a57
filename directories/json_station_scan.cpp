#include "directories/json_station_scan.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace wavelot {

namespace {

constexpr int kMaxDepth = 512;

// Over UTF-8 bytes (Char = char) or UTF-16 units (Char = char16_t).
template <typename Char>
class Scanner {
public:
    Scanner(const Char* begin, const Char* end) : p_(begin), end_(end) {}

    bool Document(const std::vector<std::string_view>& keys, std::vector<std::vector<JsonMember>>& objects) {
        if constexpr (kUtf8) {
            if (end_ - p_ >= 3 && uint8_t(p_[0]) == 0xEF && uint8_t(p_[1]) == 0xBB && uint8_t(p_[2]) == 0xBF)
                p_ += 3;
        } else if (p_ < end_ && *p_ == 0xFEFF) {
            ++p_;
        }
        Space();
        if (!Take('['))
            return false;
        Space();
        if (!Take(']')) {
            do {
                Space();
                if (Peek() == '{') {
                    objects.emplace_back(keys.size());
                    if (!Object(keys, objects.back()))
                        return false;
                } else if (!Value(1)) {
                    return false;
                }
                Space();
            } while (Take(','));
            if (!Take(']'))
                return false;
        }
        Space();
        return p_ == end_;
    }

private:
    static constexpr bool kUtf8 = sizeof(Char) == 1;

    char Peek() const { return p_ < end_ && Unit(*p_) < 0x80 ? char(*p_) : '\0'; }
    static uint32_t Unit(Char c) {
        if constexpr (kUtf8)
            return uint8_t(c);
        else
            return c;
    }
    // Whether the keys, given in ASCII, hold name.
    static bool Same(std::string_view key, const Char* name, size_t length) {
        if (key.size() != length)
            return false;
        for (size_t i = 0; i < length; ++i) {
            if (Unit(name[i]) != uint8_t(key[i]))
                return false;
        }
        return true;
    }
    bool Take(char c) {
        if (p_ < end_ && *p_ == c) {
            ++p_;
            return true;
        }
        return false;
    }
    void Space() {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\n' || *p_ == '\r' || *p_ == '\t'))
            ++p_;
    }
    bool Word(std::string_view w) {
        if (size_t(end_ - p_) < w.size() || !Same(w, p_, w.size()))
            return false;
        p_ += w.size();
        return true;
    }

    // An object element of the array: its wanted members are kept, the rest checked.
    bool Object(const std::vector<std::string_view>& keys, std::vector<JsonMember>& out) {
        ++p_;  // '{'
        Space();
        if (Take('}'))
            return true;
        do {
            Space();
            const Char* nameBegin = p_ + 1;
            bool escaped = false;
            if (!String(nullptr, &escaped))
                return false;
            const size_t nameLength = size_t(p_ - 1 - nameBegin);
            Space();
            if (!Take(':'))
                return false;
            Space();
            JsonMember* wanted = nullptr;
            for (size_t i = 0; i < keys.size() && !escaped; ++i) {
                if (Same(keys[i], nameBegin, nameLength))
                    wanted = &out[i];
            }
            if (!wanted) {
                if (!Value(2))
                    return false;
            } else if (Peek() == '"') {
                wanted->kind = JsonMember::Kind::String;
                if (!String(&wanted->text, nullptr))
                    return false;
            } else if (Peek() == '-' || (Peek() >= '0' && Peek() <= '9')) {
                const Char* begin = p_;
                if (!Number())
                    return false;
                wanted->kind = JsonMember::Kind::Number;
                wanted->number = 0;
                char digits[64];  // a number is ASCII; longer ones lose only digits beyond a double's
                const size_t n = std::min(size_t(p_ - begin), sizeof digits);
                for (size_t i = 0; i < n; ++i)
                    digits[i] = char(begin[i]);
                std::from_chars(digits, digits + n, wanted->number);
            } else {
                wanted->kind = JsonMember::Kind::Other;
                wanted->text.clear();
                if (!Value(2))
                    return false;
            }
            Space();
        } while (Take(','));
        return Take('}');
    }

    bool Value(int depth) {
        if (depth > kMaxDepth)
            return false;
        switch (Peek()) {
        case '"': return String(nullptr, nullptr);
        case 't': return Word("true");
        case 'f': return Word("false");
        case 'n': return Word("null");
        case '[':
        case '{': {
            const bool object = Peek() == '{';
            const char close = object ? '}' : ']';
            ++p_;
            Space();
            if (Take(close))
                return true;
            do {
                Space();
                if (object) {
                    if (!String(nullptr, nullptr))
                        return false;
                    Space();
                    if (!Take(':'))
                        return false;
                    Space();
                }
                if (!Value(depth + 1))
                    return false;
                Space();
            } while (Take(','));
            return Take(close);
        }
        default: return Number();
        }
    }

    bool Digits() {
        const Char* begin = p_;
        while (p_ < end_ && Unit(*p_) >= '0' && Unit(*p_) <= '9')
            ++p_;
        return p_ != begin;
    }
    bool Number() {
        Take('-');
        if (Take('0')) {
            if (Peek() >= '0' && Peek() <= '9')
                return false;
        } else if (!Digits()) {
            return false;
        }
        if (Take('.') && !Digits())
            return false;
        if (Take('e') || Take('E')) {
            if (!Take('+'))
                Take('-');
            if (!Digits())
                return false;
        }
        return true;
    }

    static int Hex(uint32_t c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }
    bool Hex4(char16_t& unit) {
        if (end_ - p_ < 4)
            return false;
        int v = 0;
        for (int i = 0; i < 4; ++i) {
            const int h = Hex(Unit(p_[i]));
            if (h < 0)
                return false;
            v = v * 16 + h;
        }
        p_ += 4;
        unit = char16_t(v);
        return true;
    }
    // The length of the UTF-8 sequence at p_ (its first byte 0x80 or above), 0 when invalid.
    size_t Utf8Length() const {
        const auto b = [&](ptrdiff_t i) { return p_ + i < end_ ? uint8_t(p_[i]) : 0; };
        const auto cont = [&](ptrdiff_t i) { return (b(i) & 0xC0) == 0x80; };
        const uint8_t c = b(0);
        if (c >= 0xC2 && c <= 0xDF)
            return cont(1) ? 2 : 0;
        if (c >= 0xE0 && c <= 0xEF) {
            if (!cont(1) || !cont(2) || (c == 0xE0 && b(1) < 0xA0) || (c == 0xED && b(1) > 0x9F))
                return 0;
            return 3;
        }
        if (c >= 0xF0 && c <= 0xF4) {
            if (!cont(1) || !cont(2) || !cont(3) || (c == 0xF0 && b(1) < 0x90) || (c == 0xF4 && b(1) > 0x8F))
                return 0;
            return 4;
        }
        return 0;
    }

    // A string at p_ ('"'); decoded into out when given. escaped: whether it held an escape.
    bool String(QString* out, bool* escaped) {
        if (!Take('"'))
            return false;
        const Char* run = p_;  // start of the units not yet copied to out
        if (out)
            out->clear();
        const auto flush = [&](const Char* upTo) {
            if (!out || upTo <= run)
                return;
            if constexpr (kUtf8)
                out->append(QString::fromUtf8(run, upTo - run));
            else
                out->append(QStringView(run, upTo - run));
        };
        while (p_ < end_) {
            const uint32_t c = Unit(*p_);
            if (c == '"') {
                flush(p_);
                ++p_;
                return true;
            }
            if (c < 0x20)
                return false;
            if (kUtf8 && c >= 0x80) {
                const size_t n = Utf8Length();
                if (n == 0)
                    return false;
                p_ += n;
                continue;
            }
            if (c != '\\') {
                ++p_;
                continue;
            }
            flush(p_);
            if (escaped)
                *escaped = true;
            ++p_;
            char16_t unit = 0;
            switch (Peek()) {
            case '"': unit = u'"'; break;
            case '\\': unit = u'\\'; break;
            case '/': unit = u'/'; break;
            case 'b': unit = u'\b'; break;
            case 'f': unit = u'\f'; break;
            case 'n': unit = u'\n'; break;
            case 'r': unit = u'\r'; break;
            case 't': unit = u'\t'; break;
            case 'u':
                ++p_;
                if (!Hex4(unit))
                    return false;
                --p_;
                break;
            default: return false;
            }
            ++p_;
            if (out)
                out->append(QChar(unit));
            run = p_;
        }
        return false;
    }

    const Char* p_;
    const Char* end_;
};

template <typename Char>
bool Scan(const Char* begin, const Char* end, const std::vector<std::string_view>& keys,
          const std::function<void(const std::vector<JsonMember>&)>& onObject) {
    std::vector<std::vector<JsonMember>> objects;
    Scanner<Char> scanner(begin, end);
    if (!scanner.Document(keys, objects))
        return false;
    for (const std::vector<JsonMember>& members : objects)
        onObject(members);
    return true;
}

}  // namespace

bool ScanJsonObjectArray(const QByteArray& json, const std::vector<std::string_view>& keys,
                         const std::function<void(const std::vector<JsonMember>&)>& onObject) {
    return Scan(json.constData(), json.constData() + json.size(), keys, onObject);
}

bool ScanJsonObjectArray(QStringView json, const std::vector<std::string_view>& keys,
                         const std::function<void(const std::vector<JsonMember>&)>& onObject) {
    return Scan(json.utf16(), json.utf16() + json.size(), keys, onObject);
}

}  // namespace wavelot
