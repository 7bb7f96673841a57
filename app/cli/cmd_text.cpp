// wavelot-cli decode, entities, urlencode: the text helpers from the command line, with exact
// output for scripts.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cctype>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>

#include "app/cli/command_registry.h"
#include "net/url_encode.h"
#include "text/code_page.h"
#include "text/html_entities.h"
#include "text/station_text.h"

namespace wavelot::cli {
namespace {

std::optional<int> ParseInt(const std::string& s) {
    int value = 0;
    const char* end = s.data() + s.size();
    auto [ptr, ec] = std::from_chars(s.data(), end, value);
    if (ec != std::errc() || ptr != end || s.empty())
        return std::nullopt;
    return value;
}

// Pairs of hexadecimal digits without separators; nothing else is accepted.
std::optional<QByteArray> ParseHex(const std::string& s) {
    if (s.size() % 2 != 0)
        return std::nullopt;
    for (char c : s) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    }
    return QByteArray::fromHex(QByteArray::fromStdString(s));
}

// The text as UTF-8 (NUL characters included) or as its code units, then a newline.
void PrintResult(const QString& text, bool units) {
    QByteArray out;
    if (units) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (i > 0)
                out.append(' ');
            out.append("U+").append(
                QByteArray::number(text.at(i).unicode(), 16).toUpper().rightJustified(4, '0'));
        }
    } else {
        const QStringList parts = text.split(QChar(0));
        for (qsizetype i = 0; i < parts.size(); ++i) {
            if (i > 0)
                out.append('\0');
            out.append(EncodeUtf8(parts.at(i)));
        }
    }
    out.append('\n');
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
    std::fflush(stdout);
}

int RunDecode(const CommandArgs& args) {
    std::optional<int> code, codePage;
    std::optional<std::string> uao, hex;
    bool units = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--code" && hasValue && !code) {
            if (!(code = ParseInt(args[++i])))
                return UsageError("decode");
        } else if (a == "--codepage" && hasValue && !codePage) {
            if (!(codePage = ParseInt(args[++i])))
                return UsageError("decode");
        } else if (a == "--uao" && hasValue && !uao) {
            uao = args[++i];
        } else if (a == "--units" && !units) {
            units = true;
        } else if (!a.starts_with("--") && !hex) {
            hex = a;
        } else {
            return UsageError("decode");
        }
    }
    // Exactly one of --code and --codepage; the table only goes with a station code.
    if (!hex || code.has_value() == codePage.has_value() || (uao && !code))
        return UsageError("decode");
    const std::optional<QByteArray> bytes = ParseHex(*hex);
    if (!bytes)
        return UsageError("decode");

    if (code) {
        Big5ExtTable table;
        if (uao)
            LoadBig5ExtTable(QString::fromStdString(*uao), table);
        PrintResult(DecodeStationText(*bytes, *code, table), units);
    } else {
        PrintResult(DecodeBytes(*bytes, *codePage), units);
    }
    return 0;
}

int RunEntities(const CommandArgs& args) {
    bool units = false;
    std::optional<std::string> text;
    for (const std::string& a : args) {
        if (a == "--units" && !units) {
            units = true;
        } else if (!text) {
            text = a;
        } else {
            return UsageError("entities");
        }
    }
    if (!text)
        return UsageError("entities");
    PrintResult(DecodeHtmlEntities(QString::fromStdString(*text)), units);
    return 0;
}

int RunUrlEncode(const CommandArgs& args) {
    if (args.size() != 1)
        return UsageError("urlencode");
    PrintResult(UrlEncode(QString::fromStdString(args[0])), false);
    return 0;
}

const CommandRegistration kDecode{"decode", "decode (--code N | --codepage CP) [--uao FILE] [--units] HEX",
                                  &RunDecode};
const CommandRegistration kEntities{"entities", "entities [--units] TEXT", &RunEntities};
const CommandRegistration kUrlEncode{"urlencode", "urlencode TEXT", &RunUrlEncode};

}  // namespace
}  // namespace wavelot::cli
