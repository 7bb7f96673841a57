// The connect's detail block: header matching rules and the exact lines logged.
#include "engine/stream_details.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace wavelot {
namespace {

const ChannelFacts kFacts{44100, u"立體聲"_s, u"MPEG-1 Audio Layer 3 Audio Streams"_s};
const QString kTime = u"12:34:56: "_s;

QStringList Texts(const ConnectDetails& d) {
    QStringList out;
    for (const LogLine& l : d.lines)
        out.append(l.text);
    return out;
}

TEST(HeaderFields, KeysMatchWithoutCaseAndKeepTheValueAsSent) {
    const HeaderFields f = ParseHeaderFields(
        u"ICY 200 OK\r\nICY-NAME: Radio One\r\nicy-genre:Jazz\r\nContent-Type: audio/MPEG\r\n"
        "icy-br: 128\r\nServer: Icecast 2.4.4\r\nicy-metaint: 16000\r\nicy-url: http://x.example/\r\n"
        "Icy-Logo: https://x.example/logo.png\r\n"_s);
    EXPECT_EQ(f.icyName, u"Radio One"_s);
    EXPECT_EQ(f.genre, u"Jazz"_s);
    EXPECT_EQ(f.contentType, u"audio/MPEG"_s);
    EXPECT_EQ(f.icyBitrate, u"128"_s);
    EXPECT_EQ(f.server, u"Icecast 2.4.4"_s);
    EXPECT_EQ(f.metaInterval, u"16000"_s);
    EXPECT_EQ(f.stationUrl, u"http://x.example/"_s);
    EXPECT_EQ(f.logo, u"https://x.example/logo.png"_s);
}

TEST(HeaderFields, SemicolonsSplitAndColonSpacesCollapse) {
    const HeaderFields f = ParseHeaderFields(
        u"ice-audio-info: ice-samplerate: 48000;bitrate: 96;channels: 1\r\n"
        "icy-description: Talk: news; weather\r\n"_s);
    EXPECT_EQ(f.sampleRate, u"48000"_s);
    EXPECT_EQ(f.audioInfoBitrate, u"96"_s);
    EXPECT_EQ(f.channels, u"1"_s);
    // "; weather" became a line of its own; ": " lost its space inside the value.
    EXPECT_EQ(f.description, u"Talk:news"_s);
}

TEST(HeaderFields, LaterLineWinsAndBlankLinesAreIgnored) {
    const HeaderFields f = ParseHeaderFields(u"icy-name:First\r\n\r\n   \r\n  icy-name:Second  \r\n"_s);
    EXPECT_EQ(f.icyName, u"Second"_s);
}

TEST(BitrateText, HeaderThenDecoderThenUnknown) {
    HeaderFields f;
    EXPECT_EQ(BitrateText(f, 0), u"未知"_s) << "never an invented rate";
    EXPECT_EQ(BitrateText(f, 128), u"128 Kbps"_s);
    f.icyBitrate = u"128"_s;
    f.contentType = u"application/OGG"_s;
    EXPECT_EQ(BitrateText(f, 64), u"128"_s) << "a header's rate wins; Ogg's has no unit";
    f.icyBitrate.clear();
    f.audioInfoBitrate = u"64"_s;
    f.contentType = u"audio/aac"_s;
    EXPECT_EQ(BitrateText(f, 0), u"64 Kbps"_s);
}

TEST(HeaderDetails, FullBlockInOrder) {
    const ConnectDetails d = HeaderDetails(
        u"ICY 200 OK\r\nicy-name:Test FM\r\nicy-genre:Jazz\r\nicy-url:http://t.example\r\n"
        "Server:Icecast 2.4.4\r\nicy-metaint:16000\r\nicy-br:128\r\ncontent-type:audio/mpeg\r\n"
        "channels:2\r\nice-samplerate:22050\r\n"_s,
        u"My Station"_s, kFacts, kTime);
    EXPECT_EQ(d.displayName, u"Test FM"_s);
    const QStringList expected = {u"12:34:56: 連線成功，開始播放 Test FM"_s,
                                  QString(),
                                  u"電台名稱: Test FM"_s,
                                  u"電台曲風: Jazz"_s,
                                  u"電台網址: http://t.example"_s,
                                  u"主機類型: Icecast 2.4.4"_s,
                                  u"資料傳輸: 16000"_s,
                                  u"壓縮頻率: 128 Kbps"_s,
                                  u"輸出頻率: 22050 Hz"_s,
                                  u"電台聲道: 立體聲"_s,
                                  u"串流類型: MPEG-1 Audio Layer 3 Audio Streams"_s,
                                  QString()};
    EXPECT_EQ(Texts(d), expected);
    // Only the closing empty line scrolls.
    for (qsizetype i = 0; i + 1 < d.lines.size(); ++i)
        EXPECT_FALSE(d.lines[i].scroll) << i;
    EXPECT_TRUE(d.lines.last().scroll);
}

TEST(HeaderDetails, SparseBlockFallsBackToStationAndChannel) {
    const ConnectDetails d = HeaderDetails(
        u"HTTP/1.0 200 OK\r\nicy-description:Only words\r\nchannels:6\r\n"_s, u"Fallback"_s, kFacts, kTime);
    EXPECT_EQ(d.displayName, u"Fallback"_s);
    const QStringList expected = {u"12:34:56: 連線成功，開始播放 Fallback"_s,
                                  QString(),
                                  u"電台名稱: Fallback"_s,
                                  u"電台曲風: Only words"_s,
                                  u"壓縮頻率: 未知"_s,
                                  u"輸出頻率: 44100 Hz"_s,
                                  u"電台聲道: 6 聲道"_s,
                                  u"串流類型: MPEG-1 Audio Layer 3 Audio Streams"_s,
                                  QString()};
    EXPECT_EQ(Texts(d), expected);
}

TEST(HeaderDetails, EmptyGenreLineIsStillLoggedAndMonoIsNamed) {
    const ConnectDetails d = HeaderDetails(u"channels:1\r\n"_s, u"S"_s, kFacts, kTime);
    EXPECT_TRUE(Texts(d).contains(u"電台曲風: "_s));
    EXPECT_TRUE(Texts(d).contains(u"電台聲道: 單聲道"_s));
}

TEST(WmaDetails, FullBlock) {
    const ConnectDetails d =
        WmaDetails(u"WMFSDKVersion=12.0.7601\r\nBitrate=64500\r\nTitle=x\r\n"_s, u"WM Radio"_s,
                   ChannelFacts{32000, u"單聲道"_s, u"Windows Media Audio Streams"_s}, kTime);
    EXPECT_EQ(d.displayName, u"WM Radio"_s);
    const QStringList expected = {u"12:34:56: 連線成功，開始播放 WM Radio"_s,
                                  QString(),
                                  u"電台名稱: WM Radio"_s,
                                  u"壓縮頻率: 65 kbps"_s,
                                  u"輸出頻率: 32000 Hz"_s,
                                  u"電台聲道: 單聲道"_s,
                                  u"主機類型: Windows Media Audio 12.0.7601"_s,
                                  u"串流類型: Windows Media Audio Streams"_s,
                                  QString(),
                                  u"12:34:56: WM Radio"_s};
    EXPECT_EQ(Texts(d), expected);
    EXPECT_TRUE(d.lines.last().scroll);
    EXPECT_FALSE(d.lines[d.lines.size() - 2].scroll);
}

TEST(WmaDetails, BitrateLineLeftOutWhenMissingOrNotANumber) {
    for (const QString& tags : {u"WMFSDKVersion=9\r\n"_s, u"Bitrate=fast\r\nWMFSDKVersion=9\r\n"_s}) {
        const QStringList texts = Texts(WmaDetails(tags, u"S"_s, kFacts, kTime));
        for (const QString& t : texts)
            EXPECT_FALSE(t.startsWith(u"壓縮頻率"_s)) << t.toStdString();
        EXPECT_TRUE(texts.contains(u"主機類型: Windows Media Audio 9"_s));
    }
}

TEST(BareDetails, StationNameAndChannelOnly) {
    const ConnectDetails d = BareDetails(u"Plain"_s, kFacts, kTime);
    EXPECT_EQ(d.displayName, u"Plain"_s);
    EXPECT_EQ(d.lines.first().text, u"12:34:56: 連線成功，開始播放 Plain"_s);
    EXPECT_TRUE(Texts(d).contains(u"電台名稱: Plain"_s));
    EXPECT_TRUE(d.lines.last().scroll);
}

}  // namespace
}  // namespace wavelot
