// The search against directories served from 127.0.0.1.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <string>

#include <atomic>

#include "directories/directory_search.h"
#include "directories/search_status.h"
#include "tests/directories/row_matchers.h"
#include "tests/support/http_server.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

std::string DataFile(const char* name) {
    QFile f(QString::fromLocal8Bit(qgetenv("WAVELOT_TEST_DATA")) + u"/directories/"_s +
            QString::fromUtf8(name));
    if (!f.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "missing test data " << name;
        return {};
    }
    const QByteArray bytes = f.readAll();
    return bytes.toStdString();
}

class DirectorySearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Ok());
        const QString local = server_.UrlText("");
        config_.shoutcastHost = local;
        config_.shoutcastTuneInHost = u"http://tunein.test"_s;
        config_.shoutcastKeys = {u"FIRSTKEY00000001"_s, u"SECONDKEY0000002"_s, u"THIRDKEY00000003"_s};
        config_.icecastHost = local;
        config_.icecastBase = u"http://dir.test"_s;
        config_.liveDoorHost = local;
        config_.inLiveHost = local;
        config_.radioBrowserServers = {local};
    }

    SearchOutcome Run(int directory, int kind = kSearchByGenre, int genre = 0, const QString& text = {}) {
        SearchRequest r;
        r.directory = directory;
        r.searchKind = kind;
        r.genreIndex = genre;
        r.text = text;
        notified_ = 0;
        return RunDirectorySearch(r, config_, radioList_, search_, scratch_, [this](int row) {
            EXPECT_EQ(row, notified_);
            ++notified_;
        });
    }

    std::vector<std::string> Targets() const {
        std::vector<std::string> t;
        for (const auto& r : server_.Requests())
            t.push_back(r.target);
        return t;
    }

    HttpServer server_;
    DirectoryConfig config_;
    QString radioList_;
    clsSongArray search_;
    clsSongArray scratch_;
    int notified_ = 0;
};

TEST_F(DirectorySearchTest, ShoutcastGenreSearch) {
    server_.Handle("/legacy/genresearch", [](const HttpRequest&) {
        return HttpResponse::Ok(DataFile("shoutcast_answer.xml"), "text/xml");
    });
    const SearchOutcome out = Run(0, kSearchByGenre, 13);
    EXPECT_EQ(Targets(), std::vector<std::string>{"/legacy/genresearch?k=FIRSTKEY00000001&genre=jazz"});
    EXPECT_EQ(out.developerKey, u"FIRSTKEY00000001"_s);
    EXPECT_EQ(Rows(search_), (std::vector<Row>{
                                 {u"http://tunein.test/sbin/tunein-station.pls?id=1477"_s,
                                  u"Smooth Jazz & Soul"_s, 0, u"MP3"_s, u"128 kbps"_s, u"312"_s},
                                 {u"http://tunein.test/sbin/tunein-station.pls?id=99812"_s,
                                  u"Nippon Beats 日本"_s, 0, u"AAC+"_s, u"64 kbps"_s, u"45"_s},
                                 {u"http://tunein.test/sbin/tunein-station.pls?id=5521"_s,
                                  u"Classic Rock Hits"_s, 0, u"MP3"_s, u"192 kbps"_s, u"7"_s},
                             }));
    EXPECT_EQ(notified_, 3);
    EXPECT_TRUE(out.rawText.contains(u"Smooth Jazz &amp; Soul"_s));  // the box shows the answer itself
}

TEST_F(DirectorySearchTest, ShoutcastKeyFallback) {
    // The first two keys are refused (450, then 441); the third key's answer is used.
    server_.Handle("/legacy/genresearch", [](const HttpRequest& r) {
        if (r.query.find("k=FIRSTKEY") == 0)
            return HttpResponse::Ok(DataFile("shoutcast_rejected.xml"));
        if (r.query.find("k=SECONDKEY") == 0) {
            return HttpResponse::Ok("<response><statusCode>441</statusCode></response>");
        }
        return HttpResponse::Ok(DataFile("shoutcast_answer.xml"));
    });
    const SearchOutcome out = Run(0, kSearchByName, 0, u"smooth"_s);
    EXPECT_EQ(Targets(), (std::vector<std::string>{"/legacy/genresearch?k=FIRSTKEY00000001&search=smooth",
                                                   "/legacy/genresearch?k=SECONDKEY0000002&search=smooth",
                                                   "/legacy/genresearch?k=THIRDKEY00000003&search=smooth"}));
    EXPECT_EQ(out.developerKey, u"THIRDKEY00000003"_s);
    EXPECT_EQ(search_.ListCount(), 3);
}

TEST_F(DirectorySearchTest, ShoutcastKeyFallbackStopsAtAcceptedKeyOrLastKey) {
    server_.Handle("/legacy/genresearch", [](const HttpRequest& r) {
        if (r.query.find("k=FIRSTKEY") == 0)
            return HttpResponse::Ok(DataFile("shoutcast_rejected.xml"));
        return HttpResponse::Ok("<response><statusCode>200</statusCode></response>" +
                                DataFile("shoutcast_answer.xml"));
    });
    Run(0);
    EXPECT_EQ(server_.RequestCount(), 2u);
    EXPECT_EQ(search_.ListCount(), 3);

    server_.ClearRequests();
    server_.Handle("/legacy/genresearch",
                   [](const HttpRequest&) { return HttpResponse::Ok(DataFile("shoutcast_rejected.xml")); });
    const SearchOutcome out = Run(0);
    EXPECT_EQ(server_.RequestCount(), 3u);  // never a fourth
    EXPECT_EQ(out.developerKey, u"THIRDKEY00000003"_s);
    EXPECT_EQ(search_.ListCount(), 0);
    EXPECT_TRUE(out.rawText.contains(u"450"_s));
}

TEST_F(DirectorySearchTest, GenreKeysAreSentAsTheyStand) {
    server_.Handle("/search",
                   [](const HttpRequest&) { return HttpResponse::Ok(DataFile("icecast_search.html")); });
    Run(1, kSearchByGenre, 18);
    Run(1, kSearchByGenre, 99);  // no genre selected: empty key
    ASSERT_EQ(server_.RequestCount(), 2u);
    EXPECT_EQ(server_.Requests()[0].target, "/search?search=R%26B");
    EXPECT_EQ(server_.Requests()[1].target, "/search?search=");
    EXPECT_EQ(SearchUrl(SearchRequest{0, kSearchByGenre, 7, {}}, config_, u"K"_s),
              config_.shoutcastHost + u"/legacy/genresearch?k=K&genre=new age"_s);
}

TEST_F(DirectorySearchTest, BlankInGenreReachesTheServer) {
    server_.Handle("/legacy/genresearch",
                   [](const HttpRequest&) { return HttpResponse::Ok(DataFile("shoutcast_answer.xml")); });
    Run(0, kSearchByGenre, 7);
    ASSERT_EQ(server_.RequestCount(), 1u);
    const std::string target = server_.Requests()[0].target;
    EXPECT_EQ(target, "/legacy/genresearch?k=FIRSTKEY00000001&genre=new%20age");
    EXPECT_EQ(search_.ListCount(), 3);
}

TEST_F(DirectorySearchTest, IcecastNameSearch) {
    server_.Handle("/search",
                   [](const HttpRequest&) { return HttpResponse::Ok(DataFile("icecast_search.html")); });
    const SearchOutcome out = Run(1, kSearchByName, 0, u"jazz"_s);
    EXPECT_EQ(Targets(), std::vector<std::string>{"/search?search=jazz"});
    EXPECT_EQ(
        Rows(search_),
        (std::vector<Row>{
            {u"http://dir.test/listen/3101/jazz.m3u"_s, u"Jazz & more, all day"_s, 0, u"MP3"_s, u"128 kbps"_s,
             u"21"_s},
            {u"http://dir.test/listen/3102/ogg.m3u"_s, u"Free formats only"_s, 0, u"OGG"_s, u"Quality 6"_s,
             u"4"_s},
            {u"http://dir.test/listen/3103/aac.m3u"_s, u"Small and fast"_s, 0, u"AAC+"_s, u"未知"_s, u"0"_s},
        }));
    EXPECT_TRUE(out.rawText.startsWith(u"<!DOCTYPE html>"_s));
}

TEST_F(DirectorySearchTest, LiveDoorListingInShiftJis) {
    for (const char* file : {"livedoor_list.zdat", "livedoor_list_crlf.zdat"}) {
        server_.Handle("/stats/list.v2.zdat",
                       [file](const HttpRequest&) { return HttpResponse::Ok(DataFile(file), "text/plain"); });
        server_.ClearRequests();
        const SearchOutcome out = Run(2, kSearchByName, 5, u"ignored"_s);
        EXPECT_EQ(Targets(), std::vector<std::string>{"/stats/list.v2.zdat"});
        EXPECT_EQ(Rows(search_), (std::vector<Row>{
                                     {u"http://std1.ladio.example:8010/tokyo.m3u"_s, u"東京ラジオ DJ:太郎"_s,
                                      3, u"MP3"_s, u"128 kbps"_s, u"5"_s},
                                     {u"http://std2.ladio.example:8020/osaka.m3u"_s, u"None DJ: None"_s, 3,
                                      u"OGG"_s, u"0 kbps"_s, u"0"_s},
                                 }))
            << file;
        EXPECT_FALSE(out.rawText.contains(u"\n\n"_s));
        EXPECT_TRUE(out.rawText.contains(u"NAM=東京ラジオ\r\n"_s) ||
                    out.rawText.contains(u"NAM=東京ラジオ\r\r\n"_s));
    }
}

TEST_F(DirectorySearchTest, InLiveRankingInKorean) {
    server_.Handle("/rank/rank_bc2.htm",
                   [](const HttpRequest&) { return HttpResponse::Ok(DataFile("inlive_rank.htm")); });
    Run(4);
    EXPECT_EQ(Targets(), std::vector<std::string>{"/rank/rank_bc2.htm?listmode=100"});
    EXPECT_EQ(scratch_.ListCount(), 4);
    EXPECT_EQ(Rows(search_), (std::vector<Row>{
                                 {u"http://a1.inlive.example/bj/kim/listen.pls"_s, u"발라드 방송 DJ:김민수"_s,
                                  4, u"발라드"_s, QString(), u"120"_s},
                                 {u"http://a4.inlive.example/bj/choi/listen.pls"_s,
                                  u"케이팝 & 댄스 DJ:최유리"_s, 4, u"댄스"_s, QString(), u"33"_s},
                             }));
    EXPECT_EQ(notified_, 2);
}

TEST_F(DirectorySearchTest, LocalListNeedsNoNetwork) {
    radioList_ = QString::fromLocal8Bit(qgetenv("WAVELOT_TEST_DATA")) + u"/directories/Radio.txt"_s;
    const SearchOutcome out = Run(3);
    EXPECT_EQ(server_.RequestCount(), 0u);
    EXPECT_TRUE(out.urls.isEmpty());
    EXPECT_EQ(Rows(search_), (std::vector<Row>{
                                 {u"http://radio.example.tw/bcc/news.mp3"_s, u"中廣新聞網"_s, 0, {}, {}, {}},
                                 {u"http://radio.example.tw/uforadio"_s, u"飛碟電台"_s, 0, {}, {}, {}},
                                 {u"http://radio.example.tw/pbs"_s, u"警廣全國交通網"_s, 0, {}, {}, {}},
                             }));
    radioList_ = u"/nonexistent/Radio.txt"_s;
    EXPECT_EQ(Run(3).status, SearchStatus::ListUnreadable);
    EXPECT_EQ(search_.ListCount(), 0);
}

TEST_F(DirectorySearchTest, FailedFetchesGiveEmptyLists) {
    // Previous results are gone before every search, whatever it finds.
    search_.AddItem({.file = u"old"_s, .title = u"old"_s});
    scratch_.AddItem({.file = u"old"_s, .title = u"old"_s});
    server_.HandleAll(
        [](const HttpRequest&) { return HttpResponse::Status(404, DataFile("shoutcast_answer.xml")); });
    for (int d : {0, 1, 2, 4}) {
        const SearchOutcome out = Run(d, kSearchByName, 0, u"x"_s);
        EXPECT_EQ(search_.ListCount(), 0) << d;
        EXPECT_EQ(scratch_.ListCount(), 0) << d;
        EXPECT_TRUE(out.rawText.isEmpty()) << d;
    }
    // A 404 is not a refused key: only one request for SHOUTcast.
    EXPECT_EQ(server_.RequestCount(), 4u);
    // Nothing listens on the configured port at all.
    DirectoryConfig dead = config_;
    dead.icecastHost = u"http://127.0.0.1:1"_s;
    clsSongArray s;
    clsSongArray sc;
    RunDirectorySearch(SearchRequest{1, kSearchByName, 0, u"x"_s}, dead, {}, s, sc);
    EXPECT_EQ(s.ListCount(), 0);
    // An index outside the table fetches nothing.
    server_.ClearRequests();
    EXPECT_EQ(Run(kDirectoryCount).status, SearchStatus::NotADirectory);
    Run(-1);
    EXPECT_EQ(server_.RequestCount(), 0u);
}

constexpr int kRadioBrowser = static_cast<int>(Directory::RadioBrowser);

TEST_F(DirectorySearchTest, RadioBrowserOverloadedServerHandsTheSearchOn) {
    for (const int refusal : {503, 429}) {
        HttpServer other;
        ASSERT_TRUE(other.Ok());
        config_.radioBrowserServers = {server_.UrlText(""), other.UrlText("")};
        server_.ClearRequests();
        // Whichever server is asked first refuses; the other one answers.
        auto asked = std::make_shared<std::atomic<int>>(0);
        const HttpHandler handler = [asked, refusal](const HttpRequest&) {
            if ((*asked)++ == 0)
                return HttpResponse::Status(refusal, "busy");
            return HttpResponse::Ok(DataFile("radio_browser_stations.json"), "application/json");
        };
        server_.HandleAll(handler);
        other.HandleAll(handler);
        const SearchOutcome out = Run(kRadioBrowser, kSearchByGenre, 13);
        EXPECT_EQ(server_.RequestCount(), 1u) << refusal;
        EXPECT_EQ(other.RequestCount(), 1u) << refusal;
        EXPECT_EQ(out.status, SearchStatus::Found);
        EXPECT_TRUE(out.urls.last().startsWith(out.server)) << "the click goes where the answer came from";
        EXPECT_EQ(notified_, 5);
        EXPECT_EQ(out.stationIds.value(search_.File(0)), u"a1b2c3d4-0001-4000-8000-000000000001"_s);
    }
}

// Mirrors that answer one byte a second share one time limit: the search gives up on both
// within it and says the last one timed out.
TEST_F(DirectorySearchTest, RadioBrowserTricklingMirrorsShareOneTimeLimit) {
    HttpServer other;
    ASSERT_TRUE(other.Ok());
    const HttpHandler trickle = [](const HttpRequest&) { return HttpResponse::Trickle("[]"); };
    server_.HandleAll(trickle);
    other.HandleAll(trickle);
    config_.radioBrowserServers = {server_.UrlText(""), other.UrlText("")};
    QElapsedTimer clock;
    clock.start();
    const SearchOutcome out = Run(kRadioBrowser);
    EXPECT_LT(clock.elapsed(), kRadioBrowserSearchLimit.count() + 3000);
    EXPECT_EQ(out.fetchFailure, HttpFailure::TimedOut);
    const QUrl last(out.urls.last());
    EXPECT_EQ(SearchStatusLine(out), u"搜尋失敗：127.0.0.1:%1 沒有回應（逾時）"_s.arg(last.port()));
}

// Every way a search can end without stations, and the status-bar line it gives.
TEST_F(DirectorySearchTest, TheStatusSaysWhyNothingWasFound) {
    int closedPort;
    {
        HttpServer gone;
        closedPort = gone.Port();
    }
    const QString host = u"127.0.0.1:"_s + QString::number(server_.Port());
    const struct {
        int directory;
        HttpResponse answer;
        SearchStatus status;
        QString line;
        size_t requests;
    } cases[] = {
        {kRadioBrowser, HttpResponse::Ok("[]"), SearchStatus::NothingFound, u"搜尋完成：沒有找到電台"_s, 1},
        {kRadioBrowser, HttpResponse::Ok("<html>maintenance</html>"), SearchStatus::Unreadable,
         u"搜尋失敗：無法解讀 "_s + host + u" 的回應"_s, 1},
        // A 404 is the same on every mirror: no other is asked.
        {kRadioBrowser, HttpResponse::Status(404), SearchStatus::HttpError,
         u"搜尋失敗："_s + host + u" 回應 HTTP 404"_s, 1},
        {1, HttpResponse::Status(500), SearchStatus::HttpError, u"搜尋失敗："_s + host + u" 回應 HTTP 500"_s,
         1},
        {1, HttpResponse::Ok("<html><div class=\"cards\">changed</div></html>"), SearchStatus::Unreadable,
         u"搜尋失敗：無法解讀 "_s + host + u" 的回應"_s, 1},
        {0, HttpResponse::Ok(DataFile("shoutcast_rejected.xml")), SearchStatus::KeyRejected,
         u"搜尋失敗：SHOUTcast 拒絕了開發者金鑰"_s, 3},
        {0, HttpResponse::Ok("<stationlist>\n</stationlist>"), SearchStatus::NothingFound,
         u"搜尋完成：沒有找到電台"_s, 1},
        {2, HttpResponse::Ok(""), SearchStatus::NothingFound, u"搜尋完成：沒有找到電台"_s, 1},
        {4, HttpResponse::Ok("<html>점검 중</html>"), SearchStatus::Unreadable,
         u"搜尋失敗：無法解讀 "_s + host + u" 的回應"_s, 1},
    };
    for (const auto& c : cases) {
        server_.ClearRequests();
        config_.radioBrowserServers = {server_.UrlText(""), server_.UrlText("/")};
        server_.HandleAll([answer = c.answer](const HttpRequest&) { return answer; });
        const SearchOutcome out = Run(c.directory, kSearchByName, 0, u"x"_s);
        EXPECT_EQ(out.status, c.status) << c.directory << " " << c.line.toStdString();
        EXPECT_EQ(SearchStatusLine(out), c.line);
        EXPECT_EQ(server_.RequestCount(), c.requests) << c.line.toStdString();
        EXPECT_EQ(search_.ListCount(), 0);
    }
    config_.radioBrowserServers = {u"http://127.0.0.1:"_s + QString::number(closedPort)};
    const SearchOutcome refused = Run(kRadioBrowser);
    EXPECT_EQ(refused.fetchFailure, HttpFailure::CannotConnect);
    EXPECT_EQ(SearchStatusLine(refused), u"搜尋失敗：無法連線至 127.0.0.1:"_s + QString::number(closedPort));
    config_.shoutcastKeys = {};
    server_.HandleAll([](const HttpRequest&) { return HttpResponse::Ok("<response>bad key</response>"); });
    EXPECT_EQ(Run(0).status, SearchStatus::NoKey);
    server_.HandleAll([](const HttpRequest&) { return HttpResponse::Status(401); });
    EXPECT_EQ(SearchStatusLine(Run(0)), u"搜尋失敗：SHOUTcast 需要開發者金鑰，可改選 Radio-Browser 目錄"_s);
}

TEST(SendableUrl, EscapesOnlyWhatARequestLineCannotCarry) {
    EXPECT_EQ(SendableUrl(u"http://h/search?search=R%26B&x=a/b:c;d=e,f+g~h!*'()$@[]"_s),
              u"http://h/search?search=R%26B&x=a/b:c;d=e,f+g~h!*'()$@[]"_s);
    EXPECT_EQ(SendableUrl(u"http://h/s?search=new age"_s), u"http://h/s?search=new%20age"_s);
    EXPECT_EQ(SendableUrl(u"http://h/s?search=東京 #1\t\"<>{|}^`\\"_s),
              u"http://h/s?search=%E6%9D%B1%E4%BA%AC%20%231%09%22%3C%3E%7B%7C%7D%5E%60%5C"_s);
}

TEST_F(DirectorySearchTest, TypedTextIsSentAsTyped) {
    server_.Handle("/search",
                   [](const HttpRequest&) { return HttpResponse::Ok(DataFile("icecast_search.html")); });
    const SearchOutcome out = Run(1, kSearchByName, 0, u" Rock & Roll 日本 "_s);
    ASSERT_EQ(server_.RequestCount(), 1u);
    // Not trimmed, "&" not escaped (so the directory sees a second parameter), the rest escaped.
    EXPECT_EQ(server_.Requests()[0].target, "/search?search=%20Rock%20&%20Roll%20%E6%97%A5%E6%9C%AC%20");
    EXPECT_EQ(out.urls, QStringList{config_.icecastHost +
                                    u"/search?search=%20Rock%20&%20Roll%20%E6%97%A5%E6%9C%AC%20"_s});
    EXPECT_EQ(search_.ListCount(), 3);
}

TEST(RawBoxText, StepsPerDirectory) {
    QString withNul = u"SRV=a\nNAM=b\n"_s;
    withNul += QChar(u'\0');
    withNul += u"SRV=c\n"_s;
    EXPECT_EQ(RawBoxText(2, withNul), u"SRV=a\r\nNAM=b\r\n"_s);
    EXPECT_EQ(RawBoxText(2, u"a\r\nb"_s), u"a\r\r\nb"_s);
    EXPECT_EQ(RawBoxText(0, u"{\"id\":5,\"name\":\"x\"} id\"7"_s), u"{\"\r\nid:5,\"name:\"x\"} \r\nid7"_s);
    EXPECT_EQ(RawBoxText(1, u"keeps id\" and \": as they are\n"_s), u"keeps id\" and \": as they are\n"_s);
    EXPECT_EQ(RawBoxText(4, withNul), u"SRV=a\nNAM=b\n"_s);
}

}  // namespace
}  // namespace wavelot::test

// HttpGetText waits for the answer in an event loop, which needs an application object.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
