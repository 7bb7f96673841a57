// wavelot-cli play, run as a program from a copy in a temporary folder (so its Setting/ folder
// is private), against a real Icecast server.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <signal.h>

#include "core/ini_file.h"
#include "core/settings_keys.h"
#include "tests/support/child_process.h"
#include "tests/support/http_server.h"
#include "tests/support/icecast_rig.h"
#include "tests/support/icy_server.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

class CliPlayTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ice_ = new IcecastRig;
        if (ice_->Start())
            ice_->StartSource({.mount = "/cli.mp3"});
    }
    static void TearDownTestSuite() {
        delete ice_;
        ice_ = nullptr;
    }
    void SetUp() override {
        ASSERT_GT(ice_->Port(), 0) << ice_->Error();
        ASSERT_TRUE(dir_.isValid());
        const QString built = qEnvironmentVariable("WAVELOT_BUILD_DIR") + u"/app/wavelot-cli"_s;
        exe_ = dir_.filePath(u"wavelot-cli"_s);
        ASSERT_TRUE(QFile::copy(built, exe_)) << built.toStdString();
    }
    QString SettingFile() const { return dir_.filePath(u"Setting/Setting.ini"_s); }

    static IcecastRig* ice_;
    QTemporaryDir dir_;
    QString exe_;
};
IcecastRig* CliPlayTest::ice_ = nullptr;

// The output lines with the time prefix made uniform.
QStringList Lines(const QByteArray& out) {
    static const QRegularExpression time(u"^\\d\\d:\\d\\d:\\d\\d: "_s);
    QStringList lines = QString::fromUtf8(out).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString& l : lines)
        l.replace(time, u"T: "_s);
    return lines;
}

TEST_F(CliPlayTest, PrintsTheConnectLinesAndTitlesThenStops) {
    const QString url = QString::fromStdString(ice_->Url("/cli.mp3"));
    QProcess p;
    p.setWorkingDirectory(dir_.path());
    p.start(exe_, {u"play"_s, url, u"--seconds"_s, u"6"_s, u"--volume"_s, u"150"_s});
    ASSERT_TRUE(p.waitForStarted());
    QByteArray out;
    QElapsedTimer t;
    t.start();
    bool titled = false;
    while (p.state() != QProcess::NotRunning && t.elapsed() < 20000) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
        if (!titled && out.contains("串流類型")) {
            titled = ice_->SetTitle("/cli.mp3", "CLI Artist - CLI Song");
        }
    }
    if (p.state() != QProcess::NotRunning) {
        ASSERT_TRUE(p.waitForFinished(5000));
    }
    out += p.readAllStandardOutput();
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

    const QStringList lines = Lines(out);
    ASSERT_GE(lines.size(), 6) << out.toStdString();
    EXPECT_EQ(lines[0], QString());
    EXPECT_EQ(lines[1], u"T: 連線至 "_s + url);
    EXPECT_EQ(lines[2], u"T: 連線成功，開始播放 Test FM"_s);
    EXPECT_TRUE(lines.contains(u"電台曲風: Jazz"_s));
    EXPECT_TRUE(lines.contains(u"壓縮頻率: 128 Kbps"_s));
    EXPECT_EQ(lines.count(u"T: CLI Artist - CLI Song"_s), 1) << out.toStdString();
    EXPECT_EQ(lines.last(), u"T: 停止播放"_s);

    EXPECT_EQ(ReadIni(settings::kSectionSetting, settings::kSavedVolume, SettingFile()), u"100"_s);
    EXPECT_EQ(ReadIni(settings::kSectionSetting, settings::kSongUrl, SettingFile()), url);
    EXPECT_EQ(ReadIni(settings::kSectionSetting, settings::kSongName, SettingFile()), url);
}

// SIGTERM, as a session ending sends it, and SIGINT stop the sound with its fade and the stop
// line, and the command ends normally.
TEST_F(CliPlayTest, AnInterruptStopsPlaybackCleanly) {
    for (const int sig : {SIGTERM, SIGINT}) {
        QProcess p;
        p.setWorkingDirectory(dir_.path());
        p.start(exe_, {u"play"_s, QString::fromStdString(ice_->Url("/cli.mp3"))});
        ASSERT_TRUE(p.waitForStarted());
        QByteArray out;
        QElapsedTimer t;
        t.start();
        while (!out.contains("串流類型") && p.state() != QProcess::NotRunning && t.elapsed() < 15000) {
            p.waitForReadyRead(100);
            out += p.readAllStandardOutput();
        }
        ::kill(pid_t(p.processId()), sig);
        ASSERT_TRUE(p.waitForFinished(10000)) << "signal " << sig;
        out += p.readAllStandardOutput();
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0);
        EXPECT_EQ(Lines(out).last(), u"T: 停止播放"_s) << "signal " << sig;
    }
}

TEST_F(CliPlayTest, FailedConnectExitsWithOne) {
    const QString url = u"http://127.0.0.1:%1/none.mp3"_s.arg(FreeLoopbackPort());
    QProcess p;
    p.setWorkingDirectory(dir_.path());
    p.start(exe_, {u"play"_s, url, u"--code"_s, u"1"_s});
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitCode(), 1);
    const QStringList lines = Lines(p.readAllStandardOutput());
    EXPECT_EQ(lines, (QStringList{QString(), u"T: 連線至 "_s + url, u"T: 錯誤！無法連線至 "_s + url}));
    EXPECT_EQ(ReadIni(settings::kSectionSetting, settings::kSongCode, SettingFile()), u"1"_s);
}

// An HLS master list that lists itself, served as such and with a type the decoder would probe:
// the connect fails at once after a few requests.
TEST_F(CliPlayTest, APlaylistThatListsItselfFailsTheConnectAtOnce) {
    for (const std::string type : {"application/vnd.apple.mpegurl", "video/mp2t"}) {
        HttpServer server;
        server.HandleAll([&](const HttpRequest& r) {
            return HttpResponse::Ok(
                "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=128000\n" + server.Url(r.path) + "\n", type);
        });
        const QString url = QString::fromStdString(server.Url("/live.m3u8"));
        QProcess p;
        p.setWorkingDirectory(dir_.path());
        QElapsedTimer t;
        t.start();
        p.start(exe_, {u"play"_s, url, u"--seconds"_s, u"30"_s});
        ASSERT_TRUE(p.waitForFinished(20000));
        EXPECT_LT(t.elapsed(), 5000) << type;
        EXPECT_EQ(p.exitCode(), 1);
        EXPECT_EQ(Lines(p.readAllStandardOutput()),
                  (QStringList{QString(), u"T: 連線至 "_s + url, u"T: 錯誤！無法連線至 "_s + url}));
        EXPECT_LE(server.RequestCount(), 3u) << type;
    }
}

TEST_F(CliPlayTest, AServerThatPausesWithItsConnectionOpenIsWaitedFor) {
    IcyServer icy;
    IcyServer::Stream s;
    s.head = IcyServer::IcyHead("Pause FM", 0);
    s.audioFile = IcyServer::MakeTone(dir_.path().toStdString(), 440, 12);
    s.burstBytes = 8000;
    icy.SetStream("/pause", s);
    QProcess p;
    p.setWorkingDirectory(dir_.path());
    QElapsedTimer t;
    t.start();
    p.start(exe_, {u"play"_s, QString::fromStdString(icy.Url("/pause")), u"--seconds"_s, u"8"_s});
    ASSERT_TRUE(p.waitForStarted());
    QByteArray out;
    while (!out.contains("串流類型") && p.state() != QProcess::NotRunning && t.elapsed() < 15000) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
    }
    icy.Pause("/pause", 5000);
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_FALSE(p.readAllStandardError().contains("ended")) << "the stall ended the command";
    EXPECT_GE(t.elapsed(), 8000);
    EXPECT_EQ(icy.RequestHeads().size(), 1u);
}

TEST_F(CliPlayTest, BadArgumentsAreAUsageError) {
    for (const QStringList& args :
         {QStringList{u"play"_s}, QStringList{u"play"_s, u"u"_s, u"--code"_s},
          QStringList{u"play"_s, u"u"_s, u"--seconds"_s, u"-1"_s},
          QStringList{u"play"_s, u"u"_s, u"--volume"_s, u"loud"_s}, QStringList{u"play"_s, u"u"_s, u"v"_s}}) {
        QProcess p;
        p.start(exe_, args);
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(p.readAllStandardError().contains("usage: wavelot-cli play"));
    }
}

}  // namespace
}  // namespace wavelot::test
