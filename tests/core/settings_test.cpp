#include "core/settings.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <functional>

#include "core/ini_file.h"
#include "core/settings_keys.h"
#include "core_test_util.h"

namespace wavelot {
namespace {

using namespace Qt::Literals::StringLiterals;
namespace s = settings;

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString File() const { return dir_.filePath(u"Setting.ini"_s); }
    void Put(const QString& section, const QString& key, const QString& value) {
        ASSERT_TRUE(WriteIni(section, key, value, File()));
    }
    QTemporaryDir dir_;
};

// Each numeric key decides its own conversion: lenient keys take a leading number, strict keys
// only a whole one; a missing key reads as the key's default (0, but full volume and "128 Kbps" on
// a first run, while a stored 0 stays 0).
TEST_F(SettingsTest, NumbersAreReadStrictlyOrLenientlyByKey) {
    using Reader = std::function<int(const Settings&)>;
    struct Case {
        QString section;
        QString key;
        Reader read;
        QString stored;
        int expected;
        int missing = 0;
    };
    const Reader songNotify = [](const Settings& x) { return x.SongNotify() ? 1 : 0; };
    const Case cases[] = {
        {s::kSectionSetting, s::kSongNotify, songNotify, u"0 "_s, 0, 1},
        {s::kSectionSetting, s::kSongNotify, songNotify, u"x"_s, 0, 1},
        {s::kSectionSetting, s::kSavedVolume, &Settings::SavedVolume, u"80 %"_s, 80, 100},
        {s::kSectionSetting, s::kSavedVolume, &Settings::SavedVolume, u"150"_s, 100, 100},
        {s::kSectionSetting, s::kSavedVolume, &Settings::SavedVolume, u"-5"_s, 0, 100},
        {s::kSectionSetting, s::kSavedVolume, &Settings::SavedVolume, u"0"_s, 0, 100},
        {s::kSectionSetting, s::kSearchType, &Settings::SearchType, u"1x"_s, 1},
        {s::kSectionSetting, s::kSearchType, &Settings::SearchType, u"7"_s, 0},
        {s::kSectionSetting, s::kQuality, &Settings::Quality, u" 4"_s, 4, s::kQualityUnset},
        {s::kSectionSetting, s::kQuality, &Settings::Quality, u"0"_s, 0, s::kQualityUnset},
        {s::kSectionSetting, s::kLoopRec, &Settings::LoopRec, u"1;"_s, 1},
        {s::kSectionSetting, s::kCatchUpJobs, &Settings::CatchUpJobs, u"1 "_s, 1},
        {s::kSectionSetting, s::kCatchUpJobs, &Settings::CatchUpJobs, u"2"_s, 0},
        {s::kSectionSetting, s::kIndexEQ, &Settings::IndexEQ, u"5x"_s, 0},
        {s::kSectionSetting, s::kIndexEQ, &Settings::IndexEQ, u"12"_s, 12},
        {s::kSectionSetting, s::kSetRecode, &Settings::SetRecode, u"1 "_s, 1},
        {s::kSectionProxy, s::kEnabledProxy, &Settings::EnabledProxy, u"1x"_s, 0},
        {s::kSectionProxy, s::kProxyCount, &Settings::ProxyCount, u"2 entries"_s, 2},
    };
    const Settings settings(File());
    for (const Case& c : cases) {
        QFile::remove(File());
        EXPECT_EQ(c.read(settings), c.missing) << c.key.toStdString() << " missing";
        Put(c.section, c.key, c.stored);
        EXPECT_EQ(c.read(settings), c.expected) << c.key.toStdString() << "=" << c.stored.toStdString();
    }
}

TEST_F(SettingsTest, ProxyEntriesAreCountedEmptyOnesIncludedAndCapped) {
    Put(s::kSectionProxy, s::kProxyCount, u"2000000000"_s);
    Put(s::kSectionProxy, s::ProxyEntryKey(1), u"a:1"_s);
    EXPECT_EQ(Settings(File()).ProxyEntries(3), (QStringList{u"a:1"_s, QString(), QString()}));
}

TEST_F(SettingsTest, LastStationIsWholeAndWrittenInOrder) {
    const Settings settings(File());
    EXPECT_EQ(settings.Last(), LastStation{});
    const QString longUrl = u"http://stream.test/"_s + QString(300, u'a');
    settings.WriteLast({longUrl, u"電台"_s, 3});
    EXPECT_EQ(settings.Last(), (LastStation{longUrl, u"電台"_s, 3})) << "no 127-character cut";
    const QByteArray bytes = test::ReadBytes(File());
    EXPECT_LT(bytes.indexOf("SongUrl"), bytes.indexOf("SongName"));
    EXPECT_LT(bytes.indexOf("SongName"), bytes.indexOf("SongCode"));
}

TEST_F(SettingsTest, OverridesAreWholeTrimmedAndFallBack) {
    const QString section = u"Directories"_s;
    const QString longHost = u"http://"_s + QString(150, u'h') + u".test"_s;
    Put(section, u"A"_s, longHost + u"//"_s);
    Put(section, u"B"_s, u"  "_s);
    Put(section, u"Key"_s, u" KEY/ "_s);
    const ConfigOverrides o(File(), section);
    EXPECT_EQ(o.Host(u"A"_s, u"x"_s), longHost) << "trailing slashes dropped, nothing cut";
    EXPECT_EQ(o.Host(u"B"_s, u"http://default"_s), u"http://default"_s);
    EXPECT_EQ(o.Host(u"Missing"_s, u"http://default"_s), u"http://default"_s);
    EXPECT_EQ(o.Text(u"Key"_s, u"x"_s), u"KEY/"_s) << "keys keep their slashes";
}

}  // namespace
}  // namespace wavelot
