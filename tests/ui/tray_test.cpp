// The tray on a real X desktop (Xvfb with the trayer panel): closing hides the window into the
// tray, a left click brings it back, and the tray menu's volume, mute, show and exit commands.
#include <QSystemTrayIcon>
#include <QTest>

#include "engine/player.h"
#include "tests/support/desktop_rig.h"
#include "tests/ui/main_window_fixture.h"

namespace wavelot::test {
namespace {

class TrayTest : public MainWindowTest {
protected:
    static void SetUpTestSuite() {
        desktop_ = new DesktopRig;
        desktopOk_ = desktop_->Start();
    }
    static void TearDownTestSuite() { delete desktop_; }
    void SetUp() override {
        ASSERT_TRUE(desktopOk_) << desktop_->Error();
        MainWindowTest::SetUp();  // creates the QApplication on the rig's display
        ASSERT_EQ(QGuiApplication::platformName(), u"xcb"_s);
        ASSERT_TRUE(WaitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000))
            << "trayer offers no tray";
    }
    static void Activate(frmMain& w, QSystemTrayIcon::ActivationReason reason) {
        Q_EMIT w.Tray().activated(reason);
    }
    static DesktopRig* desktop_;
    static bool desktopOk_;
};
DesktopRig* TrayTest::desktop_ = nullptr;
bool TrayTest::desktopOk_ = false;

TEST_F(TrayTest, CloseHidesIntoTheTrayAndALeftClickBringsTheWindowBack) {
    frmMain& w = Open();
    ASSERT_TRUE(WaitUntil([&] { return w.isVisible(); }, 3000));
    EXPECT_FALSE(w.Tray().isVisible()) << "no icon while the window is shown";
    w.close();
    Pump(100);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.ShutDown()) << "closing is not exiting";
    EXPECT_TRUE(w.Tray().isVisible());
    EXPECT_EQ(w.Tray().toolTip(), u"Wavelot"_s);
    Activate(w, QSystemTrayIcon::Trigger);
    EXPECT_TRUE(WaitUntil([&] { return w.isVisible(); }, 3000));
    EXPECT_FALSE(w.Tray().isVisible());
    SaveShot(&w, u"xvfb_window"_s);
}

TEST_F(TrayTest, TrayMenuVolumeMuteShowAndExit) {
    frmMain& w = Open();
    w.close();
    ASSERT_TRUE(WaitUntil([&] { return !w.isVisible(); }, 3000));

    QStringList seen;
    OnNextMenu(u"設定音量/30 %"_s, &seen);
    Activate(w, QSystemTrayIcon::Context);
    ASSERT_FALSE(seen.isEmpty());
    EXPECT_EQ(seen.front(), u"設定音量"_s);
    EXPECT_TRUE(seen.contains(u"設定音量/80 % [x]"_s)) << "volume 80: the mark is on 80 %";
    EXPECT_TRUE(seen.contains(u"設定音量/靜 音"_s));
    EXPECT_EQ(seen.mid(seen.size() - 3), (QStringList{u"-"_s, u"顯示主視窗"_s, u"結 束"_s}));
    EXPECT_EQ(Read(settings::kSavedVolume), u"30"_s);
    EXPECT_EQ(w.Volume(), 80) << "the slider keeps its value";

    OnNextMenu(u"設定音量/靜 音"_s, &seen);
    Activate(w, QSystemTrayIcon::Context);
    EXPECT_TRUE(seen.contains(u"設定音量/30 % [x]"_s)) << "30 stored: the mark follows the stream volume";
    EXPECT_TRUE(player().IsMuted());
    EXPECT_EQ(w.Button(7)->Caption(), u"解除靜音"_s);

    OnNextMenu(u"顯示主視窗"_s, &seen);
    Activate(w, QSystemTrayIcon::Context);
    EXPECT_TRUE(seen.contains(u"設定音量/解除靜音 [x]"_s)) << "muted: checked unmute entry";
    EXPECT_TRUE(WaitUntil([&] { return w.isVisible(); }, 3000));

    w.close();
    ASSERT_TRUE(WaitUntil([&] { return !w.isVisible(); }, 3000));
    Lists().favoriteList.AddItem({.file = u"http://tray.test/1"_s, .title = u"Tray FM"_s});
    w.Favorites().FollowList();
    OnNextMenu(u"結 束"_s);
    Activate(w, QSystemTrayIcon::Context);
    EXPECT_TRUE(w.ShutDown());
    EXPECT_FALSE(w.Tray().isVisible()) << "the icon is removed at exit";
    QFile f(SettingFolder() + u"Favorites.ini"_s);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(
        QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2)
            .contains(u"Tray FM"_s));
}

TEST_F(TrayTest, DismissingTheMenuDoesNothing) {
    frmMain& w = Open();
    w.close();
    ASSERT_TRUE(WaitUntil([&] { return !w.isVisible(); }, 3000));
    OnNextMenu(QString());
    Activate(w, QSystemTrayIcon::Context);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.ShutDown());
    EXPECT_EQ(Read(settings::kSavedVolume), u"80"_s);
}

}  // namespace
}  // namespace wavelot::test
