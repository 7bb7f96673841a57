// Station codes, the extension table and "Uao.txt" loading.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "text/code_page.h"
#include "text/station_text.h"

namespace wavelot {
namespace {

QByteArray Hex(const char* hex) {
    return QByteArray::fromHex(QByteArray(hex));
}

QByteArray Utf16LeWithMark(const QString& text) {
    QByteArray out("\xFF\xFE", 2);
    for (QChar c : text) {
        out.append(static_cast<char>(c.unicode() & 0xFF));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    return out;
}

class UaoFile : public testing::Test {
protected:
    QString Write(const QByteArray& bytes) {
        const QString path = dir_.filePath(QStringLiteral("Uao.txt"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        return path;
    }
    QTemporaryDir dir_;
    Big5ExtTable table_;
};

TEST(StationCode, MapsTheFiveCodesAndNothingElse) {
    EXPECT_EQ(StationCodePage(0), 65001);
    EXPECT_EQ(StationCodePage(1), 950);
    EXPECT_EQ(StationCodePage(2), 936);
    EXPECT_EQ(StationCodePage(3), 932);
    EXPECT_EQ(StationCodePage(4), 949);
    EXPECT_EQ(StationCodePage(5), 0);
    EXPECT_EQ(StationCodePage(-1), 0);
    EXPECT_EQ(StationCodeName(1), QStringLiteral("正體中文"));
    EXPECT_EQ(StationCodeName(4), QStringLiteral("韓文"));
    EXPECT_TRUE(StationCodeName(5).isEmpty());
}

TEST(DecodeStationText, UnknownCodesAndEmptyBytesGiveEmptyText) {
    for (int code : {5, -1, 65001, 950})
        EXPECT_TRUE(DecodeStationText(Hex("41"), code).isEmpty());
    for (int code = 0; code < kStationCodeCount; ++code)
        EXPECT_TRUE(DecodeStationText(QByteArray(), code).isEmpty());
}

TEST(DecodeStationText, WithAnEmptyTableEqualsDecodeBytes) {
    const Big5ExtTable empty;
    const QByteArray samples[] = {Hex("EFBBBF41"), Hex("EFBBBF"),   Hex("A440FA40C8A4"),
                                  Hex("81608740"), Hex("B0A1A1A9"), Hex("EE8080E4B8AD")};
    for (int code = 0; code < kStationCodeCount; ++code)
        for (const QByteArray& bytes : samples)
            EXPECT_EQ(DecodeStationText(bytes, code, empty), DecodeBytes(bytes, StationCodePage(code)));
    // Under code 3 the mark's bytes also go.
    EXPECT_EQ(DecodeStationText(Hex("EFBBBF41"), 3, empty), u"A");
}

TEST(ApplyBig5Ext, ReplacesEachMappedUnitAndKeepsTheLength) {
    Big5ExtTable table;
    table.Set(0xE000, 0x4E00);
    table.Set(0xD83C, 0x0041);  // surrogate halves are looked up one by one
    const char16_t in[] = {0xE000, u'x', 0xE000, 0xD83C, 0xDFB5};
    const QString out = ApplyBig5Ext(QString::fromUtf16(in, 5), table);
    EXPECT_EQ(out.toStdU16String(), std::u16string(u"\u4E00x\u4E00A\xDFB5"));
}

TEST(ApplyBig5ExtLine, TakesFirstAndLastFourCharacters) {
    Big5ExtTable table;
    EXPECT_TRUE(ApplyBig5ExtLine(QStringLiteral("E000 anything at all 4E00"), table));
    EXPECT_EQ(table.Entry(0xE000), 0x4E00);
    EXPECT_TRUE(ApplyBig5ExtLine(QStringLiteral("f6b1\t9f98"), table));  // either case
    EXPECT_EQ(table.Entry(0xF6B1), 0x9F98);
    EXPECT_TRUE(ApplyBig5ExtLine(QStringLiteral("E00000FF"), table));  // no separator needed
    EXPECT_EQ(table.Entry(0xE000), 0x00FF);
    EXPECT_TRUE(ApplyBig5ExtLine(QStringLiteral("E000 0000"), table));  // cancels
    EXPECT_EQ(table.Entry(0xE000), 0);
}

TEST(ApplyBig5ExtLine, RefusesLinesNotOfTheForm) {
    Big5ExtTable table;
    for (const char* line :
         {"", "E00", "E000 4E00 ", "G000 4E00", "E000 4E0Z", "+E00 4E00", "E000 -E00", " E00 4E00"})
        EXPECT_FALSE(ApplyBig5ExtLine(QString::fromLatin1(line), table)) << line;
    EXPECT_TRUE(table.IsEmpty());
}

TEST_F(UaoFile, LaterLinesOverrideAndZeroCancels) {
    const QString path = Write(Utf16LeWithMark(QStringLiteral(
        "E000 4E00\r\nE001 4E01\r\nE000 4E02\r\nE001 0000\r\nnot a line\r\n\r\nE002 => 4E03\r\n")));
    ASSERT_TRUE(LoadBig5ExtTable(path, table_));
    EXPECT_EQ(table_.Entry(0xE000), 0x4E02);
    EXPECT_EQ(table_.Entry(0xE001), 0);
    EXPECT_EQ(table_.Entry(0xE002), 0x4E03);
    const char16_t in[] = {0xE000, 0xE001, 0xE002};
    EXPECT_EQ(ApplyBig5Ext(QString::fromUtf16(in, 3), table_).toStdU16String(),
              std::u16string(u"\u4E02\uE001\u4E03"));
}

TEST_F(UaoFile, ReadsAFileWithoutMarkAsUtf8AndTheLastLineWithoutLineEnd) {
    ASSERT_TRUE(LoadBig5ExtTable(Write("8140 5F73\r\nF6B1 \xE2\x86\x92 9F98"), table_));
    EXPECT_EQ(table_.Entry(0x8140), 0x5F73);
    EXPECT_EQ(table_.Entry(0xF6B1), 0x9F98);
}

TEST_F(UaoFile, OnlyCrLfEndsALine) {
    // With LF alone the whole file is one line: first key, last value.
    ASSERT_TRUE(LoadBig5ExtTable(Write("E000 4E00\nE001 4E01\n"), table_));
    EXPECT_EQ(table_.Entry(0xE000), 0);  // the line ends in LF, so its last four are "4E01\n"
    ASSERT_TRUE(LoadBig5ExtTable(Write("E000 4E00\nE001 4E01"), table_));
    EXPECT_EQ(table_.Entry(0xE000), 0x4E01);
    EXPECT_EQ(table_.Entry(0xE001), 0);
}

TEST_F(UaoFile, MissingEmptyOrOversizedFilesLeaveTheTableAlone) {
    table_.Set(0xE000, 0x4E00);
    EXPECT_FALSE(LoadBig5ExtTable(dir_.filePath(QStringLiteral("absent.txt")), table_));
    EXPECT_FALSE(LoadBig5ExtTable(Write(QByteArray()), table_));
    QByteArray big = QByteArray("E000 4E01\r\n").repeated(4 * 1024 * 1024 / 11 + 1);
    ASSERT_GE(big.size(), 4 * 1024 * 1024);
    EXPECT_FALSE(LoadBig5ExtTable(Write(big), table_));
    EXPECT_EQ(table_.Entry(0xE000), 0x4E00);
    // A UTF-16 file of odd length is not read at all.
    EXPECT_FALSE(LoadBig5ExtTable(Write(Utf16LeWithMark(QStringLiteral("E000 4E02")) + 'x'), table_));
    EXPECT_EQ(table_.Entry(0xE000), 0x4E00);
}

TEST_F(UaoFile, GlobalTableAppliesToStationTextUnderEveryCode) {
    Big5ExtTable& global = GlobalBig5ExtTable();
    global.Clear();
    ASSERT_TRUE(LoadBig5ExtTable(Write(Utf16LeWithMark(QStringLiteral("E000 4E00\r\nF7EE 7881\r\n")))));
    EXPECT_EQ(DecodeStationText(Hex("FA40C8A4"), kStationCodeBig5), u"\u4E00\u7881");
    EXPECT_EQ(DecodeStationText(Hex("EE8080"), kStationCodeUtf8), u"\u4E00");
    EXPECT_EQ(DecodeStationText(Hex("F040"), kStationCodeShiftJis), u"\u4E00");
    EXPECT_EQ(DecodeStationText(Hex("AAA1"), kStationCodeGbk), u"\u4E00");
    EXPECT_EQ(DecodeStationText(Hex("C9A1"), kStationCodeKorean), u"\u4E00");
    EXPECT_EQ(ApplyBig5Ext(QString(QChar(0xE000))), u"\u4E00");
    global.Clear();
    EXPECT_EQ(DecodeStationText(Hex("FA40"), kStationCodeBig5), u"\uE000");
}

}  // namespace
}  // namespace wavelot
