// The main window against the real engine: a search on a local directory page that lists a
// station of a real Icecast server, a double-click that plays it through a private PulseAudio
// server, the song title in the status bar and the play log, the spectrum, volume and mute
// reaching the sound, the status-bar menu and the stop command.
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QTest>
#include <QUrl>

#include "engine/audio/audio_library.h"
#include "engine/player.h"
#include "net/url_encode.h"
#include "tests/support/icecast_rig.h"
#include "tests/support/player_wait.h"
#include "tests/support/pulse_rig.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/web_search.h"

namespace wavelot::test {
namespace {

class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls << url; }
};

std::string StationPage(const std::string& name) {
    return "<html><body><table class=\"servers-list\">\n<tr class=\"row\">\n<td class=\"description\">\n"
           "<p class=\"stream-name\"><span class=\"name\"><a href=\"http://example.org/\" onclick=\"return "
           "false;\">" +
           name +
           "</a></span>\n<span class=\"listeners\">[1&nbsp;listeners]</span></p>\n"
           "<p class=\"stream-description\">" +
           name +
           "</p>\n</td>\n<td class=\"tune-in\">\n"
           "<p class=\"format\" title=\"128 kbps\">\n"
           "<a href=\"/listen/1/test.m3u\" title=\"Listen to '" +
           name +
           "' (M3U)\">M3U</a>\n"
           "<a href=\"/by_format/MP3\" class=\"streams\">MP3</a></p>\n</td>\n</tr>\n</table></body></html>\n";
}

class PlaybackTest : public MainWindowTest {
protected:
    static void SetUpTestSuite() {
        pulse_ = new PulseRig;
        pulseOk_ = pulse_->Start();
        ice_ = new IcecastRig;
        iceOk_ =
            ice_->Start() && ice_->StartSource({.mount = "/test.mp3", .frequency = 440, .amplitude = 0.5});
    }
    static void TearDownTestSuite() {
        delete ice_;
        delete pulse_;
    }
    void SetUp() override {
        ASSERT_TRUE(pulseOk_) << pulse_->Error();
        ASSERT_TRUE(iceOk_) << ice_->Error();
        MainWindowTest::SetUp();
        // The directory's tune-in playlist (served here) names the stream on the Icecast server.
        const std::string stream = ice_->Url("/test.mp3");
        server_.Handle("/listen/1/test.m3u", [stream](const HttpRequest&) {
            return HttpResponse::Ok("#EXTM3U\n" + stream + "\n", "audio/x-mpegurl");
        });
        WriteIni(web_search_keys::kSection, web_search_keys::kGoogleHost, u"http://search.test"_s,
                 SettingFile());
        server_.Handle("/search",
                       [](const HttpRequest&) { return HttpResponse::Ok(StationPage("Loopback FM")); });
    }

    // Mean loudness of what reached the sound server over ms milliseconds.
    static double Loudness(int ms) {
        pulse_->StartRecording();
        Pump(ms);
        return Rms(pulse_->StopRecording(), 4410);
    }
    float StreamVolume(frmMain&) {
        float v = -1;
        core_->Audio().ChannelGetAttribute(player().Current(), audio::ATTRIB_VOL, &v);
        return v;
    }

    static PulseRig* pulse_;
    static IcecastRig* ice_;
    static bool pulseOk_;
    static bool iceOk_;
};
PulseRig* PlaybackTest::pulse_ = nullptr;
IcecastRig* PlaybackTest::ice_ = nullptr;
bool PlaybackTest::pulseOk_ = false;
bool PlaybackTest::iceOk_ = false;

TEST_F(PlaybackTest, SearchDoubleClickPlayTitleVolumeMuteMenuAndStop) {
    const std::string title = "Artist - 測試歌曲";
    ASSERT_TRUE(ice_->SetTitle("/test.mp3", title));
    frmMain& w = Open();
    EXPECT_TRUE(w.Button(1)->isVisible());
    EXPECT_FALSE(w.Button(2)->isVisible());
    ChooseDirectory(w, 1);
    w.RunCommand(frmMain::kCmdSearch);
    ASSERT_EQ(w.Search().ResultList()->model()->rowCount(), 1);
    EXPECT_EQ(Lists().searchList.Title(0), u"Loopback FM"_s);

    // A double click comes after the press and release of a click.
    QTest::mouseClick(w.Search().ResultList()->viewport(), Qt::LeftButton, {}, QPoint(30, 10));
    QTest::mouseDClick(w.Search().ResultList()->viewport(), Qt::LeftButton, {}, QPoint(30, 10));
    const QString qtitle = QString::fromStdString(title);
    ASSERT_TRUE(WaitUntil([&] { return w.picStatusBar()->Text().endsWith(u" * "_s + qtitle); }, 15000))
        << w.picStatusBar()->Text().toStdString();
    // The title may show before the cross-fade has ended; the connection counts from its end.
    EXPECT_TRUE(WaitSettled(player()));
    EXPECT_TRUE(player().IsConnected());
    EXPECT_FALSE(w.Button(1)->isVisible());
    EXPECT_TRUE(w.Button(2)->isVisible());
    EXPECT_TRUE(core_->Poll().isActive()) << "the song timer runs while a stream plays";
    bool logged = false;
    for (int i = 0; i < Lists().playLogList.ListCount(); ++i)
        logged = logged || Lists().playLogList.File(i).endsWith(u": "_s + qtitle);
    EXPECT_TRUE(logged) << "the title is in the play log";
    EXPECT_EQ(w.PlayLogList().model()->rowCount(), Lists().playLogList.ListCount());
    EXPECT_TRUE(w.Tray().toolTip().endsWith(u"\r\n"_s + qtitle));
    EXPECT_EQ(Read(settings::kSongName), u"Loopback FM"_s) << "stored as the last station";

    Pump(1500);  // bars rise on the tone
    double tallest = 0;
    for (int i = 0; i <= w.picStatusBar()->Bars().HighestBar(); ++i)
        tallest = std::max(tallest, w.picStatusBar()->Bars().Level(i));
    EXPECT_GT(tallest, 0.3) << "the 440 Hz tone shows in the spectrum";
    SaveShot(&w, u"playing_spectrum"_s);
    w.TabStrip()->setCurrentIndex(4 - 1);
    SaveShot(&w, u"playing_playlog"_s);
    w.TabStrip()->setCurrentIndex(1 - 1);

    // Volume slider: far left is 0, far right close to 100, and the sound follows.
    VolumeSlider* slider = w.PicTrackBar();
    EXPECT_GT(Loudness(600), 0.05);
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(0, 10));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(0, 10));
    EXPECT_EQ(w.Volume(), 0);
    EXPECT_EQ(Read(settings::kSavedVolume), u"0"_s);
    Pump(1000);
    EXPECT_FLOAT_EQ(StreamVolume(w), 0.0f);
    EXPECT_LT(Loudness(500), 0.005);
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(slider->width() - 1, 10));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() - 1, 10));
    const int units = slider->width() * volume_slider::kUnitsPerPixel;
    EXPECT_EQ(w.Volume(), volume_slider::VolumeAt(units, units));
    Pump(1000);
    EXPECT_NEAR(StreamVolume(w), w.Volume() / 100.0f, 0.011f);
    const double loud = Loudness(500);
    EXPECT_GT(loud, 0.1);

    // Mute and back.
    QTest::mouseClick(w.Button(7), Qt::LeftButton);
    EXPECT_TRUE(player().IsMuted());
    Pump(1000);
    EXPECT_FLOAT_EQ(StreamVolume(w), 0.0f);
    EXPECT_LT(Loudness(500), 0.005) << "muted: silence reaches the sound server";
    QTest::mouseClick(w.Button(7), Qt::LeftButton);
    Pump(1000);
    EXPECT_NEAR(Loudness(500), loud, loud * 0.3);

    // Status-bar menu: web search of the title, and copying it.
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(u"http"_s, &recorder, "open");
    QStringList seen;
    OnNextMenu(u"Google 網頁"_s, &seen);
    QTest::mouseClick(w.picStatusBar(), Qt::RightButton, {}, QPoint(50, 10));
    EXPECT_EQ(seen, (QStringList{u"Google 網頁"_s, u"YouTube 影音"_s, u"-"_s, u"複製歌曲至剪貼簿"_s}));
    ASSERT_EQ(recorder.urls.size(), 1);
    EXPECT_EQ(recorder.urls[0].toString(QUrl::FullyEncoded),
              u"http://search.test/search?q=%41%72%74%69%73%74%20%2D%20%E6%B8%AC%E8%A9%A6%E6%AD%8C%E6%9B%B2"_s
                  .replace(u"%41%72%74%69%73%74"_s, u"Artist"_s)
                  .replace(u"%2D"_s, u"-"_s))
        << "the title is percent-encoded as UTF-8";
    QDesktopServices::unsetUrlHandler(u"http"_s);
    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(w.picStatusBar(), Qt::LeftButton, {}, QPoint(50, 10));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), qtitle);

    // Stop: the ready text, the play button back, the song timer off.
    w.RunCommand(frmMain::kCmdStop);
    ASSERT_TRUE(WaitUntil([&] { return w.picStatusBar()->Text() == u"就緒 . . ."_s; }, 3000));
    EXPECT_TRUE(w.Button(1)->isVisible());
    EXPECT_FALSE(core_->Poll().isActive());

    // Command 1 plays the station started last.
    w.RunCommand(frmMain::kCmdPlay);
    EXPECT_TRUE(WaitUntil([&] { return player().IsConnected(); }, 15000));
    w.RunCommand(frmMain::kCmdExit);
    EXPECT_TRUE(w.ShutDown());
}

}  // namespace
}  // namespace wavelot::test

#include "playback_test.moc"
