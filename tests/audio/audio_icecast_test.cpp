// The back end against a real Icecast server fed by ffmpeg.

#include "engine/audio/audio_library.h"
#include "tests/audio/audio_test_util.h"
#include "tests/support/icecast_rig.h"

#include <gtest/gtest.h>

namespace wavelot::test {
namespace {

using namespace audio;

// One server for the whole program: starting it and a mount takes about two seconds.
class IcecastTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        App();
        ice_ = new IcecastRig;
        startError_ = ice_->Start() ? std::string() : ice_->Error();
    }
    static void TearDownTestSuite() {
        delete ice_;
        ice_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(startError_.empty()) << startError_;
        ASSERT_TRUE(lib_.Init(0, 44100));
        lib_.SetConfig(CONFIG_NET_PLAYLIST, 1);
        lib_.SetConfig(CONFIG_NET_TIMEOUT, 10000);
        lib_.SetConfigPtr(CONFIG_NET_PROXY, nullptr);
    }

    StreamHandle Open(const std::string& mount) {
        return lib_.StreamCreateURL(QString::fromStdString(ice_->Url(mount)));
    }
    int Peak(StreamHandle h) {
        std::vector<float> bins(2048);
        lib_.ChannelGetData(h, bins.data(), DATA_FFT4096);
        return PeakBin(bins);
    }

    static IcecastRig* ice_;
    static std::string startError_;
    AudioLibrary lib_;
};

IcecastRig* IcecastTest::ice_ = nullptr;
std::string IcecastTest::startError_;

TEST_F(IcecastTest, Mp3MountPlaysWithItsHeadersAndTitles) {
    IcecastRig::Source src;
    src.mount = "/tags.mp3";
    src.frequency = 1000;
    src.name = "\xE6\xB8\xAC\xE8\xA9\xA6 FM";  // UTF-8 "測試 FM" passes through unchanged
    ASSERT_TRUE(ice_->StartSource(src)) << ice_->Error();
    StreamHandle h = Open(src.mount);
    ASSERT_NE(h, 0u);
    // Icecast answers HTTP/1.0: HTTP tags, with its icy- headers as sent by the source.
    EXPECT_TRUE(lib_.ChannelGetTags(h, TAG_ICY).isNull());
    const QList<QByteArray> lines = TagStrings(lib_.ChannelGetTags(h, TAG_HTTP));
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), "HTTP/1.0 200 OK");
    EXPECT_TRUE(lines.contains("icy-name:" + QByteArray::fromStdString(src.name)));
    EXPECT_TRUE(lines.contains("icy-genre:Jazz"));
    EXPECT_TRUE(lines.contains("icy-br:128"));
    EXPECT_TRUE(lines.contains("icy-metaint:16000"));
    EXPECT_TRUE(lines.contains("Content-Type: audio/mpeg"));
    ChannelInfo info;
    ASSERT_TRUE(lib_.ChannelGetInfo(h, &info));
    EXPECT_EQ(info.ctype, CTYPE_STREAM_MP3);
    EXPECT_EQ(info.freq, 44100u);

    int syncs = 0;
    lib_.ChannelSetSync(h, SYNC_META, 0, [&](SyncHandle, StreamHandle, quint32) { ++syncs; });
    ASSERT_TRUE(lib_.ChannelPlay(h));
    ASSERT_TRUE(ice_->SetTitle(src.mount, "First - Song"));
    ASSERT_TRUE(WaitFor(
        [&] { return lib_.ChannelGetTags(h, TAG_META).contains("StreamTitle='First - Song';"); }, 10000));
    // The sync is queued to this thread, so it may run a little after the tag is readable.
    EXPECT_TRUE(WaitFor([&] { return syncs >= 1; }, 2000));
    const int after1 = syncs;
    ASSERT_TRUE(ice_->SetTitle(src.mount, "\xE7\xAC\xAC\xE4\xBA\x8C - Second"));
    ASSERT_TRUE(WaitFor(
        [&] {
            return lib_.ChannelGetTags(h, TAG_META)
                .contains("StreamTitle='\xE7\xAC\xAC\xE4\xBA\x8C - Second';");
        },
        10000));
    EXPECT_TRUE(WaitFor([&] { return syncs > after1; }, 2000));
    EXPECT_EQ(Peak(h), 93);
    ice_->StopSource(src.mount);
}

TEST_F(IcecastTest, ChainedOggGivesCommentsAtEachLinkAndRaisesTheSync) {
    IcecastRig::Source src;
    src.mount = "/chain.ogg";
    src.codec = IcecastRig::Codec::Vorbis;
    ASSERT_TRUE(ice_->StartSource(src)) << ice_->Error();
    StreamHandle h = Open(src.mount);
    ASSERT_NE(h, 0u);
    ChannelInfo info;
    ASSERT_TRUE(lib_.ChannelGetInfo(h, &info));
    EXPECT_EQ(info.ctype, CTYPE_STREAM_OGG);
    EXPECT_TRUE(lib_.ChannelGetTags(h, TAG_META).isNull()) << "Ogg mounts carry no ICY metadata";
    int metaSyncs = 0, linkSyncs = 0;
    lib_.ChannelSetSync(h, SYNC_META, 0, [&](SyncHandle, StreamHandle, quint32) { ++metaSyncs; });
    lib_.ChannelSetSync(h, SYNC_OGG_CHANGE, 0, [&](SyncHandle, StreamHandle, quint32) { ++linkSyncs; });
    lib_.ChannelPlay(h);
    Pump(500);
    ASSERT_TRUE(ice_->SetTitle(src.mount, "Chained Title"));
    ASSERT_TRUE(WaitFor(
        [&] { return TagStrings(lib_.ChannelGetTags(h, TAG_OGG)).contains("title=Chained Title"); }, 15000))
        << lib_.ChannelGetTags(h, TAG_OGG).toStdString();
    EXPECT_TRUE(WaitFor([&] { return metaSyncs >= 1 && linkSyncs >= 1; }, 1000));
    // 440 Hz falls at bin 40.9, so leakage around a chain link may put the peak on bin 40.
    EXPECT_NEAR(Peak(h), 41, 1);
    EXPECT_EQ(lib_.ChannelIsActive(h), ACTIVE_PLAYING);
    ice_->StopSource(src.mount);
}

TEST_F(IcecastTest, AacMountPlays) {
    IcecastRig::Source src;
    src.mount = "/tone.aac";
    src.codec = IcecastRig::Codec::Aac;
    src.frequency = 1000;
    ASSERT_TRUE(ice_->StartSource(src)) << ice_->Error();
    StreamHandle h = Open(src.mount);
    ASSERT_NE(h, 0u);
    ChannelInfo info;
    ASSERT_TRUE(lib_.ChannelGetInfo(h, &info));
    EXPECT_EQ(info.ctype, CTYPE_STREAM_AAC);
    EXPECT_EQ(info.chans, 2u);
    lib_.ChannelPlay(h);
    Pump(1000);
    EXPECT_EQ(Peak(h), 93);
    EXPECT_EQ(lib_.ChannelIsActive(h), ACTIVE_PLAYING);
    ice_->StopSource(src.mount);
}

TEST_F(IcecastTest, M3uPlaylistOfAMountIsFollowed) {
    IcecastRig::Source src;
    src.mount = "/list.mp3";
    ASSERT_TRUE(ice_->StartSource(src)) << ice_->Error();
    StreamHandle h = Open("/list.mp3.m3u");
    ASSERT_NE(h, 0u);
    EXPECT_TRUE(lib_.ChannelGetTags(h, TAG_HTTP).contains("icy-name:Test FM"));
    ice_->StopSource(src.mount);
}

TEST_F(IcecastTest, SourceStopEndsPlayingAndTheMountIsThenGone) {
    IcecastRig::Source src;
    src.mount = "/drop.mp3";
    ASSERT_TRUE(ice_->StartSource(src)) << ice_->Error();
    StreamHandle h = Open(src.mount);
    ASSERT_NE(h, 0u);
    int ends = 0;
    lib_.ChannelSetSync(h, SYNC_END, 0, [&](SyncHandle, StreamHandle, quint32) { ++ends; });
    lib_.ChannelPlay(h);
    Pump(500);
    ice_->StopSource(src.mount);
    EXPECT_TRUE(WaitFor([&] { return lib_.ChannelIsActive(h) == ACTIVE_STOPPED; }, 15000));
    EXPECT_TRUE(WaitFor([&] { return ends == 1; }, 1000));
    EXPECT_EQ(Open(src.mount), 0u) << "Icecast answers 404 for a mount without source";
}

// Last: it ends the shared server.
TEST_F(IcecastTest, ZzServerKillEndsPlaying) {
    IcecastRig::Source src;
    src.mount = "/kill.mp3";
    ASSERT_TRUE(ice_->StartSource(src)) << ice_->Error();
    StreamHandle h = Open(src.mount);
    ASSERT_NE(h, 0u);
    lib_.ChannelPlay(h);
    Pump(500);
    ice_->StopServer();
    EXPECT_TRUE(WaitFor([&] { return lib_.ChannelIsActive(h) == ACTIVE_STOPPED; }, 20000));
    EXPECT_EQ(Open(src.mount), 0u);
}

}  // namespace
}  // namespace wavelot::test
