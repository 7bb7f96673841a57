#include "text/station_text.h"

#include <QStringList>

#include <algorithm>

#include "core/text_file.h"
#include "text/code_page.h"

namespace wavelot {
namespace {

// Four hexadecimal digits starting at from; -1 when any of them is not one.
int HexGroup(const QString& s, qsizetype from) {
    int value = 0;
    for (qsizetype i = from; i < from + 4; ++i) {
        const char16_t c = s.at(i).unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

}  // namespace

int StationCodePage(int code) {
    switch (code) {
    case kStationCodeUtf8: return kCodePageUtf8;
    case kStationCodeBig5: return kCodePageBig5;
    case kStationCodeGbk: return kCodePageGbk;
    case kStationCodeShiftJis: return kCodePageShiftJis;
    case kStationCodeKorean: return kCodePageKorean;
    default: return 0;
    }
}

QString StationCodeName(int code) {
    switch (code) {
    case kStationCodeUtf8: return QStringLiteral("UTF-8");
    case kStationCodeBig5: return QStringLiteral("正體中文");
    case kStationCodeGbk: return QStringLiteral("簡體中文");
    case kStationCodeShiftJis: return QStringLiteral("日文");
    case kStationCodeKorean: return QStringLiteral("韓文");
    default: return {};
    }
}

bool Big5ExtTable::IsEmpty() const {
    return std::all_of(entries_.begin(), entries_.end(), [](int32_t v) { return v == 0; });
}

Big5ExtTable& GlobalBig5ExtTable() {
    static Big5ExtTable table;
    return table;
}

bool ApplyBig5ExtLine(const QString& line, Big5ExtTable& table) {
    if (line.size() < 4)
        return false;
    const int key = HexGroup(line, 0);
    const int value = HexGroup(line, line.size() - 4);
    if (key < 0 || value < 0)
        return false;
    table.Set(static_cast<char16_t>(key), static_cast<char16_t>(value));
    return true;
}

bool LoadBig5ExtTable(const QString& path, Big5ExtTable& table) {
    QStringList lines;
    if (!ReadTextLines(path, lines))
        return false;
    for (const QString& line : lines)
        ApplyBig5ExtLine(line, table);
    return true;
}

bool LoadBig5ExtTable(const QString& path) {
    return LoadBig5ExtTable(path, GlobalBig5ExtTable());
}

QString ApplyBig5Ext(const QString& text, const Big5ExtTable& table) {
    QString out = text;
    for (QChar& c : out)
        c = QChar(table.Map(c.unicode()));
    return out;
}

QString ApplyBig5Ext(const QString& text) {
    return ApplyBig5Ext(text, GlobalBig5ExtTable());
}

QString DecodeStationText(const QByteArray& bytes, int code, const Big5ExtTable& table) {
    const int codePage = StationCodePage(code);
    if (codePage == 0)
        return {};
    return ApplyBig5Ext(DecodeBytes(bytes, codePage), table);
}

QString DecodeStationText(const QByteArray& bytes, int code) {
    return DecodeStationText(bytes, code, GlobalBig5ExtTable());
}

}  // namespace wavelot
