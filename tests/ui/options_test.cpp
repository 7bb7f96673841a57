// The options dialog: what it loads, "關 閉" keeping the edits for this run (the next recording
// goes to a folder chosen but not applied), what "套 用" stores and in which order, the applied
// proxy used by the next connect, and its looks.
#include <QFileDialog>
#include <QTest>

#include "engine/audio/station_loudness.h"
#include "engine/player.h"
#include "engine/recorder.h"
#include "tests/support/icecast_rig.h"
#include "tests/support/mp3_probe.h"
#include "tests/support/player_wait.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/frm_option.h"

namespace wavelot::test {
namespace {

class OptionsTest : public MainWindowTest {
protected:
    frmOption& Options() {
        Lists();  // the parts, with the dialog loaded
        return *options_;
    }
};

TEST_F(OptionsTest, LoadFillsTheControlsFromTheSettings) {
    Write(settings::kFilePath, u"/music/rec/"_s);
    Write(settings::kQuality, u"4"_s);
    Write(settings::kLoopRec, u"1"_s);
    Write(settings::kCatchUpJobs, u"1"_s);
    Write(settings::kLevelLoudness, u"1"_s);
    WriteIni(settings::kSectionProxy, settings::kUserProxy, u"10.0.0.1:3128"_s, SettingFile());
    frmOption& d = Options();
    EXPECT_EQ(d.size(), QSize(447, 201));
    // No history: one default entry, while the box shows the stored proxy, greyed out while off.
    EXPECT_EQ(d.Inputs().cboProxy->count(), 1);
    EXPECT_EQ(d.Inputs().cboProxy->itemText(0), QString::fromUtf16(frmOption::kDefaultProxyEntry));
    EXPECT_EQ(d.Inputs().cboProxy->currentText(), u"10.0.0.1:3128"_s);
    EXPECT_FALSE(d.Inputs().cboProxy->isEnabled());
    EXPECT_EQ(d.Inputs().cboQuality->currentText(), u"192 Kbps"_s);
    EXPECT_TRUE(d.Inputs().chkLoopRec->isChecked() && d.Inputs().chkCatchUpJobs->isChecked() &&
                d.Inputs().chkLevelLoudness->isChecked());
    EXPECT_EQ(d.Inputs().txtFilePath->text(), u"/music/rec/"_s);
    EXPECT_TRUE(d.Inputs().chkSongNotify->isChecked()) << "song notifications are on without the key";
    d.show();
    SaveShot(&d, u"options_default"_s);
}

TEST_F(OptionsTest, FolderChosenAndClosedWithoutApplyingTakesTheNextRecording) {
    IcecastRig ice;
    ASSERT_TRUE(ice.Start() && ice.StartSource({.mount = "/opt.mp3"}) && ice.SetTitle("/opt.mp3", "Opt"))
        << ice.Error();
    Write(settings::kFilePath, u"/old/folder/"_s);
    QTemporaryDir chosen;
    frmMain& w = Open();
    OnNextModal([&](QWidget* modal) {
        auto* d = qobject_cast<frmOption*>(modal);
        ASSERT_NE(d, nullptr);
        OnNextModal([&](QWidget* browser) {
            qobject_cast<QFileDialog*>(browser)->setDirectory(chosen.path());
            QMetaObject::invokeMethod(browser, "accept");
        });
        QTest::mouseClick(d->Inputs().cmdRecOut, Qt::LeftButton);
        SaveShot(d, u"options_folder_chosen"_s);
        QTest::mouseClick(d->Inputs().cmdCancel, Qt::LeftButton);
    });
    w.RunCommand(frmMain::kCmdOptions);
    EXPECT_EQ(core_->Options().recordingFolder, chosen.path() + u"/"_s);

    PlayAndWait(player(), QString::fromStdString(ice.Url("/opt.mp3")), u"Opt"_s, 0);
    ASSERT_TRUE(WaitUntil([&] { return player().SongTitle() == u"Opt"_s; }, 15000));
    w.RunCommand(frmMain::kCmdRecord);
    Pump(1000);
    w.RunCommand(frmMain::kCmdRecord);
    EXPECT_TRUE(WaitUntil([&] { return core_->recorder().UnfinishedFiles() == 0; }, 5000));
    const AudioFacts facts = ProbeAudio(chosen.path() + u"/Test FM/Opt.mp3"_s);
    // The second heard, what had been decoded beyond it at the stop (about a third of one), and
    // the padding lame adds.
    EXPECT_NEAR(facts.seconds, 1.45, 0.4);
    EXPECT_EQ(facts.bitRate, 128000) << "no stored quality: 128 Kbps, not the lowest entry";
    EXPECT_EQ(Read(settings::kFilePath), u"/old/folder/"_s) << "closing stores nothing";
}

TEST_F(OptionsTest, ApplyStoresTheSixValuesInOrderAndTheProxyTakesTheNextConnect) {
    HttpServer proxy;
    proxy.HandleAll([](const HttpRequest&) { return HttpResponse::Status(404); });
    const QString station = u"http://127.0.0.1:1/live.mp3"_s;  // nothing listens: only a proxy answers
    QFile::remove(SettingFile());
    frmOption& d = Options();
    d.Inputs().txtFilePath->setText(u"/music/新/"_s);
    d.Inputs().cboQuality->setCurrentIndex(4);
    d.Inputs().chkLoopRec->setChecked(true);
    d.Inputs().chkCatchUpJobs->setChecked(true);
    for (const bool on : {true, false}) {
        d.show();
        d.Inputs().cboProxy->setEditText(u"127.0.0.1:%1"_s.arg(proxy.Port()));
        QTest::mouseClick(d.Inputs().chkUserProxy, Qt::LeftButton);
        EXPECT_EQ(d.Inputs().cboProxy->isEnabled(), on);
        SaveShot(&d, on ? u"options_proxy_on"_s : u"options_proxy_off"_s);
        QTest::mouseClick(d.Inputs().cmdOK, Qt::LeftButton);
        EXPECT_FALSE(d.isVisible());
        if (on) {
            QFile f(SettingFile());
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            // Each key was new, so each went to the end of its section as it was written.
            EXPECT_EQ(QString::fromUtf8(f.readAll()),
                      u"[Setting]\r\nFilePath=/music/新/\r\nQuality=4\r\nLoopRec=1\r\nCatchUpJobs=1\r\n"
                      u"[Proxy]\r\nUserProxy=127.0.0.1:%1\r\nEnabledProxy=1\r\n"_s.arg(proxy.Port()));
            Write(settings::kSetRecode, u"1"_s);
            Open();
        }
        PlayAndWait(player(), station, u"S"_s, 0);
        ASSERT_EQ(proxy.RequestCount(), 1u) << on;  // the first connect only
        EXPECT_EQ(proxy.Requests()[0].target, station.toStdString());
    }
    frmOption& options = *options_;
    EXPECT_FALSE(options.Inputs().chkLevelLoudness->isChecked());
    QTest::mouseClick(options.Inputs().chkSongNotify, Qt::LeftButton);
    QTest::mouseClick(options.Inputs().chkLevelLoudness, Qt::LeftButton);
    QTest::mouseClick(options.Inputs().cmdOK, Qt::LeftButton);
    EXPECT_EQ(Read(settings::kSongNotify), u"0"_s);
    EXPECT_EQ(Read(settings::kLevelLoudness), u"1"_s);
    EXPECT_TRUE(audio::StationLoudness::Shared().Enabled()) << "levelling starts with the apply";
    EXPECT_TRUE(core_->Options().levelLoudness);
}

}  // namespace
}  // namespace wavelot::test
