// The JSON reader against what a JSON parser must accept and refuse (RFC 8259).
#include <gtest/gtest.h>

#include <optional>

#include "directories/json_array_reader.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

// The "name" of each object: its text, "#n" for a number, "-" otherwise; nothing when refused.
template <typename Json>
std::optional<QStringList> Scan(const Json& json) {
    QStringList names;
    const bool ok = ReadJsonObjectArray(json, {"name"}, [&](std::span<const JsonMember> m) {
        switch (m[0].kind) {
        case JsonMember::Kind::String: names << QString::fromUtf8(m[0].text); break;
        case JsonMember::Kind::Number: names << u"#"_s + QString::number(m[0].number); break;
        default: names << u"-"_s;
        }
    });
    return ok ? std::optional(names) : std::nullopt;
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
        {QByteArray(100000, '['), {}},  // deep, and never closed: refused, not a crash
    };
    constexpr size_t kFirstRefused = 5;
    for (const auto& c : cases) {
        const bool valid = &c < &cases[kFirstRefused];
        const std::optional<QStringList> s = Scan(c.json);
        EXPECT_EQ(s, valid ? std::optional(c.names) : std::nullopt) << c.json.constData();
        QByteArray roomy = c.json;  // read in place
        roomy.reserve(c.json.size() + kJsonReadPadding);
        EXPECT_EQ(Scan(roomy), s) << c.json.constData();
        if (const QString text = QString::fromUtf8(c.json); text.toUtf8() == c.json)  // valid UTF-8 only
            EXPECT_EQ(Scan(QStringView(text)), s) << c.json.constData();
    }
}

TEST(JsonArrayReader, ATextReadInsideOnObjectLeavesTheOuterStringsAlone) {
    QStringList seen;
    ReadJsonObjectArray(R"([{"name":"outer"},{"name":"outer 2"}])"_ba, {"name"}, [&](auto outer) {
        Scan(R"([{"name":"inner, longer than both"}])"_ba);
        seen << QString::fromUtf8(outer[0].text);
    });
    EXPECT_EQ(seen, (QStringList{u"outer"_s, u"outer 2"_s}));
}

}  // namespace
}  // namespace wavelot::test
