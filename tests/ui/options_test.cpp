// The options dialog: what it loads, what "套 用" stores and in which order, "關 閉" keeping
// the edits for this run (the next recording goes to a folder chosen but not applied), the
// applied proxy used by the next connect, and its looks.
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QTest>

#include "engine/player.h"
#include "engine/recorder.h"
#include "tests/support/icecast_rig.h"
#include "tests/support/mp3_probe.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/frm_option.h"

namespace wavelot::test {
namespace {

class OptionsTest : public MainWindowTest {
protected:
    static void SetUpTestSuite() {
        ice_ = new IcecastRig;
        iceOk_ = ice_->Start() && ice_->StartSource({.mount = "/opt.mp3"}) &&
                 ice_->SetTitle("/opt.mp3", "Opt Song");
    }
    static void TearDownTestSuite() {
        delete ice_;
        ice_ = nullptr;
    }
    frmOption& Options() {
        Lists();  // the parts, with the dialog loaded
        return core_->Options();
    }
    void WriteProxy(const QString& key, const QString& value) {
        WriteIni(settings::kSectionProxy, key, value, SettingFile());
    }
    QString ReadProxy(const QString& key) { return ReadIni(settings::kSectionProxy, key, SettingFile()); }
    static QStringList Entries(clsControl& box) {
        QStringList out;
        for (int i = 0; i < box.ListCount(); ++i)
            out << box.List(i);
        return out;
    }
    static QColor HostColor(clsControl& c) {
        return c.hWnd()->parentWidget()->palette().color(QPalette::Window);
    }

    static IcecastRig* ice_;
    static bool iceOk_;
};
IcecastRig* OptionsTest::ice_ = nullptr;
bool OptionsTest::iceOk_ = false;

TEST_F(OptionsTest, LoadFillsTheControlsFromTheSettings) {
    Write(settings::kFilePath, u"/music/rec/"_s);
    Write(settings::kQuality, u"4"_s);
    Write(settings::kLoopRec, u"1"_s);
    WriteProxy(settings::kUserProxy, u"10.0.0.1:3128"_s);
    frmOption& d = Options();
    EXPECT_EQ(d.windowTitle(), u"選項"_s);
    EXPECT_EQ(d.size(), QSize(447, 201));
    // No history: one default entry, while the box shows the stored proxy.
    EXPECT_EQ(Entries(d.cboProxy()), QStringList{QString::fromUtf16(frmOption::kDefaultProxyEntry)});
    EXPECT_EQ(d.cboProxy().text(), u"10.0.0.1:3128"_s);
    EXPECT_FALSE(d.chkUserProxy().Checked());
    EXPECT_FALSE(d.cboProxy().hWnd()->isEnabled()) << "the proxy box is greyed out while unused";
    EXPECT_EQ(HostColor(d.cboProxy()), d.palette().color(QPalette::Button));
    EXPECT_EQ(Entries(d.cboQuality()), (QStringList{u"32 Kbps"_s, u"64 Kbps"_s, u"96 Kbps"_s, u"128 Kbps"_s,
                                                    u"192 Kbps"_s, u"256 Kbps"_s, u"320 Kbps"_s}));
    EXPECT_EQ(d.QualityIndex(), 4);
    EXPECT_TRUE(d.chkLoopRec().Checked());
    EXPECT_EQ(d.RecordingFolder(), u"/music/rec/"_s);
    EXPECT_EQ(d.chkUserProxy().text(), u"開啟代理伺服器"_s);
    EXPECT_EQ(d.chkLoopRec().text(), u"斷線後強制錄音"_s);
    EXPECT_EQ(d.cmdOK().text(), u"套 用"_s);
    EXPECT_EQ(d.cmdCancel().text(), u"關 閉"_s);
    d.show();
    SaveShot(&d, u"options_default"_s);
    d.hide();
    Close();

    // A history with an empty entry, the proxy on, a quality outside the list.
    WriteProxy(settings::kProxyCount, u"2"_s);
    WriteProxy(settings::ProxyEntryKey(1), u"proxy.one:8080"_s);
    WriteProxy(settings::kEnabledProxy, u"1"_s);
    Write(settings::kQuality, u"9"_s);
    frmOption& again = Options();
    EXPECT_EQ(Entries(again.cboProxy()), (QStringList{u"proxy.one:8080"_s, QString()}));
    EXPECT_TRUE(again.cboProxy().hWnd()->isEnabled());
    EXPECT_EQ(HostColor(again.cboProxy()), QColor(255, 255, 255));
    EXPECT_EQ(again.QualityIndex(), -1);
    again.show();
    SaveShot(&again, u"options_proxy_on"_s);
    again.hide();
}

TEST_F(OptionsTest, ApplyStoresTheFiveValuesInOrderAndCloseStoresNothing) {
    QFile::remove(SettingFile());
    frmOption& d = Options();
    d.txtFilePath().setText(u"/music/新/"_s);
    d.cboQuality().SetListIndex(4);
    d.cboProxy().setText(u"127.0.0.1:3128"_s);
    d.chkUserProxy().SetChecked(true);
    d.chkLoopRec().SetChecked(true);
    d.show();
    QTest::mouseClick(d.cmdCancel().hWnd(), Qt::LeftButton);
    EXPECT_FALSE(d.isVisible());
    EXPECT_FALSE(QFile::exists(SettingFile())) << "closing stores nothing";

    d.show();
    QTest::mouseClick(d.cmdOK().hWnd(), Qt::LeftButton);
    EXPECT_FALSE(d.isVisible());
    QFile f(SettingFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    // Each key was new, so each went to the end of its section as it was written.
    EXPECT_EQ(QString::fromUtf8(f.readAll()),
              u"[Setting]\r\nFilePath=/music/新/\r\nQuality=4\r\nLoopRec=1\r\n"
              u"[Proxy]\r\nUserProxy=127.0.0.1:3128\r\nEnabledProxy=1\r\n"_s);
}

TEST_F(OptionsTest, FolderChosenAndClosedWithoutApplyingTakesTheNextRecording) {
    ASSERT_TRUE(iceOk_) << ice_->Error();
    Write(settings::kFilePath, u"/old/folder/"_s);
    QTemporaryDir chosen;
    frmMain& w = Open();
    bool shown = false;
    OnNextModal([&](QWidget* modal) {
        auto* d = qobject_cast<frmOption*>(modal);
        ASSERT_NE(d, nullptr);
        shown = true;
        OnNextModal([&](QWidget* browser) {
            auto* dialog = qobject_cast<QFileDialog*>(browser);
            ASSERT_NE(dialog, nullptr);
            dialog->setDirectory(chosen.path());
            QMetaObject::invokeMethod(dialog, "accept");
        });
        QTest::mouseClick(d->cmdRecOut().hWnd(), Qt::LeftButton);
        SaveShot(d, u"options_folder_chosen"_s);
        QTest::mouseClick(d->cmdCancel().hWnd(), Qt::LeftButton);
    });
    w.RunCommand(frmMain::kCmdOptions);
    ASSERT_TRUE(shown);
    EXPECT_EQ(core_->Options().RecordingFolder(), chosen.path() + u"/"_s);

    player().PlayRadio(QString::fromStdString(ice_->Url("/opt.mp3")), u"Opt"_s, 0);
    ASSERT_TRUE(WaitUntil([&] { return player().SongTitle() == u"Opt Song"_s; }, 15000));
    w.RunCommand(frmMain::kCmdRecord);
    const QString file = chosen.path() + u"/Test FM/Opt Song.mp3"_s;
    EXPECT_EQ(core_->recorder().CurrentFile(), file);
    Pump(1000);
    w.RunCommand(frmMain::kCmdRecord);
    EXPECT_TRUE(WaitUntil([&] { return core_->recorder().UnfinishedFiles() == 0; }, 5000));
    const AudioFacts facts = ProbeAudio(file);
    EXPECT_NEAR(facts.seconds, 1.0, 0.4);
    EXPECT_EQ(facts.bitRate, 32000) << "no stored quality: the first entry";
    EXPECT_EQ(Read(settings::kFilePath), u"/old/folder/"_s) << "only 套 用 stores it";
}

TEST_F(OptionsTest, AppliedProxyTakesTheNextConnect) {
    HttpServer proxy;
    proxy.HandleAll([](const HttpRequest&) { return HttpResponse::Status(404); });
    frmOption& d = Options();
    Open();
    d.show();
    d.cboProxy().setText(u"127.0.0.1:%1"_s.arg(proxy.Port()));
    QTest::mouseClick(d.chkUserProxy().hWnd(), Qt::LeftButton);
    EXPECT_TRUE(d.cboProxy().hWnd()->isEnabled());
    d.cmdOK_Click();
    // Nothing listens on port 1: only the proxy can be asked.
    const QString station = u"http://127.0.0.1:1/live.mp3"_s;
    player().PlayRadio(station, u"Through"_s, 0);
    ASSERT_EQ(proxy.RequestCount(), 1u);
    EXPECT_EQ(proxy.Requests()[0].target, station.toStdString());

    d.show();
    QTest::mouseClick(d.chkUserProxy().hWnd(), Qt::LeftButton);
    EXPECT_FALSE(d.cboProxy().hWnd()->isEnabled());
    d.cmdOK_Click();
    EXPECT_EQ(ReadProxy(settings::kEnabledProxy), u"0"_s);
    player().PlayRadio(station, u"Direct"_s, 0);
    EXPECT_EQ(proxy.RequestCount(), 1u) << "no proxy once it is switched off";
}

}  // namespace
}  // namespace wavelot::test
