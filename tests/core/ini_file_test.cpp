#include "core/ini_file.h"
#include "core/settings_keys.h"
#include "core_test_util.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace wavelot {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::ReadBytes;
using test::Utf16;
using test::WriteBytes;
namespace s = settings;

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QString CopyOfWindowsFile() {
        const QString p = Path(u"Setting.ini"_s);
        EXPECT_TRUE(WriteBytes(p, ReadBytes(test::CoreDataFile(u"windows_setting.ini"_s))));
        return p;
    }
    QTemporaryDir dir_;
};

TEST_F(IniFileTest, ReadsWindowsFileWithItsRules) {
    const QString f = CopyOfWindowsFile();
    // Case-insensitive section and key names.
    EXPECT_EQ(ReadIni(s::kSectionSetting, s::kSearchType, f), u"1"_s);
    EXPECT_EQ(ReadIni(u"SETTING"_s, u"searchgenre"_s, f), u"7"_s);
    EXPECT_EQ(ReadIni(s::kSectionProxy, s::kUserProxy, f), u"proxy.example.test:8080"_s);
    // One pair of quotes removed; blanks inside the quotes stay.
    EXPECT_EQ(ReadIni(s::kSectionSetting, s::kSearchName, f), u"  爵士 Jazz  "_s);
    EXPECT_EQ(ReadIni(s::kSectionSetting, s::kFilePath, f), u"D:\\錄音\\"_s);
    // Blanks around key and value trimmed.
    EXPECT_EQ(ReadIni(s::kSectionSetting, s::kSavedVolume, f), u"65"_s);
    EXPECT_EQ(ReadIniInt(s::kSectionSetting, s::kSavedVolume, f), 65);
    // 200 characters come back as 127.
    const QString url = ReadIni(s::kSectionSetting, s::kSongUrl, f);
    EXPECT_EQ(url.size(), kIniReadLimit);
    EXPECT_TRUE(url.startsWith(u"http://stream.example.test/xxx"_s));
    EXPECT_EQ(ReadIniWhole(s::kSectionSetting, s::kSongUrl, f).size(), 200);
    // Missing key, section or file.
    EXPECT_EQ(ReadIni(s::kSectionSetting, u"Nothing"_s, f), QString());
    EXPECT_EQ(ReadIni(u"Nowhere"_s, s::kSearchType, f), QString());
    EXPECT_EQ(ReadIni(s::kSectionSetting, s::kSearchType, Path(u"missing.ini"_s)), QString());
    // A key of another section is not found in this one.
    EXPECT_EQ(ReadIni(s::kSectionSetting, s::kProxyCount, f), QString());
}

TEST_F(IniFileTest, UpdatesWindowsFileInPlaceAndKeepsEverythingElse) {
    const QString f = CopyOfWindowsFile();
    const QByteArray before = ReadBytes(f);
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(before.constData() + 2),
                                            (before.size() - 2) / 2);

    ASSERT_TRUE(WriteIni(s::kSectionSetting, s::kIndexEQ, 11, f));
    ASSERT_TRUE(WriteIni(s::kSectionProxy, u"ENABLEDPROXY"_s, 1, f));
    ASSERT_TRUE(WriteIni(s::kSectionSetting, u"BrandNew"_s, u"值"_s, f));

    QString expected = text;
    expected.replace(u"IndexEQ=3\r\n"_s, u"IndexEQ=11\r\n"_s);
    expected.replace(u"EnabledProxy=0\r\n"_s, u"EnabledProxy=1\r\n"_s);
    // New key at the end of its section, before the blank separator line.
    expected.replace(u"WindowLeft=1200\r\n"_s, u"WindowLeft=1200\r\nBrandNew=值\r\n"_s);
    EXPECT_EQ(ReadBytes(f), Utf16(expected));

    EXPECT_EQ(ReadIniIntStrict(s::kSectionSetting, s::kIndexEQ, f), 11);
    EXPECT_EQ(ReadIni(s::kSectionSetting, u"brandnew"_s, f), u"值"_s);
}

TEST_F(IniFileTest, FirstWriteCreatesUtf8FileAndSections) {
    const QString f = Path(u"new.ini"_s);
    ASSERT_TRUE(WriteIni(s::kSectionSetting, s::kSearchName, u"電台"_s, f));
    ASSERT_TRUE(WriteIni(s::kSectionProxy, s::kUserProxy, u"h:1"_s, f));
    ASSERT_TRUE(WriteIni(s::kSectionSetting, s::kSearchType, 1, f));
    EXPECT_EQ(ReadBytes(f), QByteArray("[Setting]\r\nSearchName=\xE9\x9B\xBB\xE5\x8F\xB0\r\nSearchType=1\r\n"
                                       "[Proxy]\r\nUserProxy=h:1\r\n"));
}

TEST_F(IniFileTest, Utf8FileKeepsItsLineEndsAndForeignBytes) {
    const QString f = Path(u"unix.ini"_s);
    // LF line ends, a line that is not valid UTF-8 and no final line break.
    ASSERT_TRUE(WriteBytes(f, QByteArray("; comment\n[Setting]\nOld=\xB0\xAA\xA5\xFE\nSetRecode=0")));
    ASSERT_TRUE(WriteIni(s::kSectionSetting, s::kSetRecode, 1, f));
    ASSERT_TRUE(WriteIni(s::kSectionSetting, s::kSavedVolume, 40.0, f));
    EXPECT_EQ(ReadBytes(f),
              QByteArray("; comment\n[Setting]\nOld=\xB0\xAA\xA5\xFE\nSetRecode=1\nSavedVolume=40\n"));
}

TEST_F(IniFileTest, ValuesCannotInjectLines) {
    const QString f = Path(u"inject.ini"_s);
    ASSERT_TRUE(WriteIni(s::kSectionSetting, s::kSongName, u"Evil\r\n[Proxy]\r\nEnabledProxy=1"_s, f));
    EXPECT_EQ(ReadIni(s::kSectionProxy, s::kEnabledProxy, f), QString());
    EXPECT_EQ(ReadIni(s::kSectionSetting, s::kSongName, f), u"Evil  [Proxy]  EnabledProxy=1"_s);
    // Names that cannot be written are refused instead of corrupting the file.
    EXPECT_FALSE(WriteIni(s::kSectionSetting, u"a=b"_s, u"x"_s, f));
    EXPECT_FALSE(WriteIni(u"Se]t"_s, u"k"_s, u"x"_s, f));
    EXPECT_FALSE(WriteIni(s::kSectionSetting, QString(), u"x"_s, f));
}

TEST_F(IniFileTest, FirstMatchWinsAndDuplicateSectionsAreSearched) {
    const QString f = Path(u"dup.ini"_s);
    ASSERT_TRUE(WriteBytes(f, "[A]\r\nk=1\r\nK=2\r\n[B]\r\nx=0\r\n[a]\r\nj=3\r\n"));
    EXPECT_EQ(ReadIni(u"a"_s, u"k"_s, f), u"1"_s);
    EXPECT_EQ(ReadIni(u"A"_s, u"J"_s, f), u"3"_s);
    ASSERT_TRUE(WriteIni(u"a"_s, u"J"_s, u"4"_s, f));
    ASSERT_TRUE(WriteIni(u"a"_s, u"k"_s, u"5"_s, f));
    EXPECT_EQ(ReadBytes(f), QByteArray("[A]\r\nk=5\r\nK=2\r\n[B]\r\nx=0\r\n[a]\r\nj=4\r\n"));
}

TEST(IniNumbers, LenientAndStrict) {
    struct Case {
        QString text;
        int lenient, strict;
        bool strictOk;
    } cases[] = {
        {u"12"_s, 12, 12, true}, {u" 7 "_s, 7, 7, true},
        {u"-5"_s, -5, -5, true}, {u"12abc"_s, 12, 0, false},
        {u"abc"_s, 0, 0, false}, {u""_s, 0, 0, false},
        {u"3.9"_s, 3, 0, false}, {u"+4"_s, 4, 4, true},
        {u"- 4"_s, 0, 0, false}, {u"99999999999"_s, 2147483647, 0, false},
    };
    for (const Case& c : cases) {
        bool ok = true;
        EXPECT_EQ(LenientInt(c.text), c.lenient) << c.text.toStdString();
        EXPECT_EQ(StrictInt(c.text, &ok), c.strict) << c.text.toStdString();
        EXPECT_EQ(ok, c.strictOk) << c.text.toStdString();
    }
}

TEST_F(IniFileTest, StrictKeysReadZeroWhenMissingOrBroken) {
    const QString f = Path(u"Setting.ini"_s);
    ASSERT_TRUE(WriteBytes(f, "[Setting]\r\nIndexEQ=abc\r\nSongCode=\r\n[Proxy]\r\nEnabledProxy=1x\r\n"));
    bool ok = true;
    EXPECT_EQ(ReadIniIntStrict(s::kSectionSetting, s::kIndexEQ, f, &ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(ReadIniIntStrict(s::kSectionSetting, s::kSetRecode, f, &ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(ReadIniIntStrict(s::kSectionSetting, s::kSongCode, f), 0);
    EXPECT_EQ(ReadIniIntStrict(s::kSectionProxy, s::kEnabledProxy, f), 0);
    EXPECT_EQ(ReadIniInt(s::kSectionProxy, s::kEnabledProxy, f), 1);  // the options dialog's reading
}

TEST(IniNumbers, DoubleFormatting) {
    EXPECT_EQ(FormatIniNumber(100.0), u"100"_s);
    EXPECT_EQ(FormatIniNumber(-0.0), u"0"_s);
    EXPECT_EQ(FormatIniNumber(-5.0), u"-5"_s);
    EXPECT_EQ(FormatIniNumber(37.5), u"37.5"_s);
    EXPECT_EQ(FormatIniNumber(std::nan("")), u"0"_s);
}

// A save that fails half way must leave the previous file exactly as it was. The failure is
// real: the file-size limit makes the kernel refuse bytes past it, as a full disk would.
TEST_F(IniFileTest, FailedSaveLeavesOldFileIntact) {
    const QString f = CopyOfWindowsFile();
    const QByteArray before = ReadBytes(f);

    bool wrote = true;
    {
        test::ScopedFileSizeLimit limit(512);
        ASSERT_TRUE(limit.active());
        wrote = WriteIni(s::kSectionSetting, s::kSearchName, QString(4000, u'x'), f);
    }

    EXPECT_FALSE(wrote);
    EXPECT_EQ(ReadBytes(f), before);
    // No temporary file is left behind.
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{u"Setting.ini"_s});
    // And the next ordinary write works.
    EXPECT_TRUE(WriteIni(s::kSectionSetting, s::kSearchName, u"ok"_s, f));
    EXPECT_EQ(ReadIni(s::kSectionSetting, s::kSearchName, f), u"ok"_s);
}

TEST_F(IniFileTest, SaveIntoMissingFolderFailsWithoutCreatingAnything) {
    const QString f = Path(u"no/such/Setting.ini"_s);
    EXPECT_FALSE(WriteIni(s::kSectionSetting, s::kSearchType, 1, f));
    EXPECT_FALSE(QFile::exists(f));
}

TEST_F(IniFileTest, UnreadableTargetIsNotReplaced) {
    // A folder where the file should be: reading fails, and the writer must not clobber it.
    const QString f = Path(u"Setting.ini"_s);
    ASSERT_TRUE(QDir().mkpath(f));
    EXPECT_FALSE(WriteIni(s::kSectionSetting, s::kSearchType, 1, f));
    EXPECT_TRUE(QFileInfo(f).isDir());
}

TEST(IniDocumentTest, OddUtf16TailAndEmptyInput) {
    IniDocument doc;
    doc.Parse(QByteArray());
    EXPECT_FALSE(doc.Value(u"A"_s, u"b"_s).has_value());
    doc.Parse(Utf16(u"[A]\r\nb=1"_s) + QByteArray("Z"));
    EXPECT_EQ(doc.encoding(), IniDocument::Encoding::Utf16Le);
    EXPECT_EQ(doc.Value(u"a"_s, u"B"_s).value_or(QString()), u"1"_s);
}

}  // namespace
}  // namespace wavelot
