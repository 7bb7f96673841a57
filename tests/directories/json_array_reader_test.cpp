// The JSON reader against what a JSON parser must accept and refuse (RFC 8259), where the fault
// lies in the structure, the UTF-8 or a wanted member. Qt's reader is laxer: it takes "1.", unknown
// escapes and raw control characters in strings.
#include <gtest/gtest.h>

#include "directories/json_array_reader.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

struct Scanned {
    bool ok = false;
    QStringList names;  // "name" of each object: its text, "#n" for a number, "-" otherwise
};

template <typename Json>
Scanned Scan(const Json& json) {
    Scanned s;
    s.ok = ReadJsonObjectArray(json, {"name"}, [&](std::span<const JsonMember> m) {
        switch (m[0].kind) {
        case JsonMember::Kind::String: s.names << QString::fromUtf8(m[0].text); break;
        case JsonMember::Kind::Number: s.names << u"#"_s + QString::number(m[0].number); break;
        default: s.names << u"-"_s;
        }
    });
    return s;
}

TEST(JsonArrayReader, AcceptsAndRefusesAsAJsonParserDoesAndDecodesTheWantedMembers) {
    const struct {
        QByteArray json;
        QStringList names;  // for an accepted text
    } cases[] = {
        {R"([{"name":"a\"b\\c\/d\n\u00e9\ud83c\udfb5"},{"x":[1,{"y":null}],"name":-1.5e2}])",
         {u"a\"b\\c/d\né🎵"_s, u"#-150"_s}},
        {"\xEF\xBB\xBF [ {\"name\":true,\"name\":\"last\"} , 3, \"s\", [] ]\n", {u"last"_s}},
        {R"([{"na\u006de":"escaped names are not looked up"},{},{"name":null}])", {u"-"_s, u"-"_s, u"-"_s}},
        {"[{\"name\":\"\xE9\x9B\xBB\xE5\x8F\xB0\"}]", {u"電台"_s}},
        {"[]", {}},
        // From here on refused: each breaks one rule.
        {R"([{"name":"a"},])", {}},
        {R"([{"name":01}])", {}},
        {R"([{"name":1.}])", {}},
        {R"([{"name":-}])", {}},
        {R"([{"name":tru}])", {}},
        {R"([{"name":nul}])", {}},
        {R"([{"name":"\x"}])", {}},
        {R"([{"name":"\u12"}])", {}},
        {"[{\"name\":\"a\tb\"}]", {}},
        {"[{\"name\":\"\xC3\"}]", {}},
        {"[{\"name\":\"\xED\xA0\x80\"}]", {}},
        {R"([{"name" "a"}])", {}},
        {R"([{"name":"a"}] [])", {}},
        {R"({"name":"a"})", {}},
        {"[{\"name\":\"a\"}", {}},
    };
    constexpr size_t kFirstRefused = 5;
    for (const auto& c : cases) {
        const bool valid = &c < &cases[kFirstRefused];
        const Scanned s = Scan(c.json);
        EXPECT_EQ(s.ok, valid) << c.json.constData();
        EXPECT_EQ(s.names, c.names) << c.json.constData();
        // Read in place when the buffer has room behind the bytes, and from decoded text.
        QByteArray roomy = c.json;
        roomy.reserve(c.json.size() + kJsonReadPadding);
        const Scanned inPlace = Scan(roomy);
        EXPECT_EQ(inPlace.ok, s.ok) << c.json.constData();
        EXPECT_EQ(inPlace.names, s.names) << c.json.constData();
        const QString text = QString::fromUtf8(c.json);
        if (text.toUtf8() == c.json) {  // decoded text cannot hold invalid UTF-8
            const Scanned units = Scan(QStringView(text));
            EXPECT_EQ(units.ok, s.ok) << c.json.constData();
            EXPECT_EQ(units.names, s.names) << c.json.constData();
        }
    }
}

// The strings handed over stay intact while onObject reads another text.
TEST(JsonArrayReader, ATextReadInsideOnObjectLeavesTheOuterStringsAlone) {
    QStringList seen;
    ReadJsonObjectArray(QByteArray(R"([{"name":"outer one"},{"name":"outer two"}])"), {"name"},
                        [&](std::span<const JsonMember> outer) {
                            ReadJsonObjectArray(QByteArray(R"([{"name":"inner text, longer than both"}])"),
                                                {"name"}, [](std::span<const JsonMember>) {});
                            seen << QString::fromUtf8(outer[0].text);
                        });
    EXPECT_EQ(seen, (QStringList{u"outer one"_s, u"outer two"_s}));
}

}  // namespace
}  // namespace wavelot::test
