// HttpGetText against a real HTTP server on 127.0.0.1.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <memory>
#include <thread>

#include "net/host_names.h"
#include "net/http_fetch.h"
#include "tests/support/http_server.h"

namespace wavelot {
namespace {

using test::HttpRequest;
using test::HttpResponse;
using test::HttpServer;
using namespace std::chrono_literals;

class HttpGetTextTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!QCoreApplication::instance()) {
            static int argc = 1;
            static char name[] = "net_tests";
            static char* argv[] = {name, nullptr};
            app_ = std::make_unique<QCoreApplication>(argc, argv);
        }
    }
    // Before the exit handlers: Qt's own globals are gone by then.
    static void TearDownTestSuite() { app_.reset(); }
    void SetUp() override { ASSERT_TRUE(server_.Ok()); }

    static std::unique_ptr<QCoreApplication> app_;
    HttpServer server_;
};
std::unique_ptr<QCoreApplication> HttpGetTextTest::app_;

TEST_F(HttpGetTextTest, ReturnsTheDecodedBodyOfA200AndSendsTheRequestAsGiven) {
    server_.Handle("/list", [](const HttpRequest&) {
        return HttpResponse::Ok("\xA5\xBF\xC5\xE9\xA4\xA4\xA4\xE5 FM");  // Big5
    });
    EXPECT_EQ(HttpGetText(server_.UrlText("/list?genre=%E4%B8%AD&q=a+b"), 950),
              QStringLiteral("正體中文 FM"));
    const auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, "/list?genre=%E4%B8%AD&q=a+b");
    EXPECT_EQ(requests[0].Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_TRUE(requests[0].body.empty());
}

TEST_F(HttpGetTextTest, AnyStatusButTwoHundredIsEmptyEvenWithABody) {
    server_.Handle("/404",
                   [](const HttpRequest&) { return HttpResponse::Status(404, "<html>Not here</html>"); });
    server_.Handle("/500", [](const HttpRequest&) { return HttpResponse::Status(500, "oops"); });
    server_.Handle("/203", [](const HttpRequest&) { return HttpResponse::Status(203, "almost"); });
    EXPECT_TRUE(HttpGetText(server_.UrlText("/404"), 65001).isEmpty());
    EXPECT_TRUE(HttpGetText(server_.UrlText("/500"), 65001).isEmpty());
    EXPECT_TRUE(HttpGetText(server_.UrlText("/203"), 65001).isEmpty());
    const HttpResult r = HttpGet(server_.UrlText("/404"));
    EXPECT_TRUE(r.transferOk);
    EXPECT_EQ(r.status, 404);
    EXPECT_FALSE(r.Ok());
}

TEST_F(HttpGetTextTest, EmptyBodyIsEmptyText) {
    server_.Handle("/empty", [](const HttpRequest&) { return HttpResponse::Ok(""); });
    EXPECT_TRUE(HttpGetText(server_.UrlText("/empty"), 65001).isEmpty());
    EXPECT_TRUE(HttpGet(server_.UrlText("/empty")).Ok());
}

TEST_F(HttpGetTextTest, FollowsRedirects) {
    server_.Handle("/old", [](const HttpRequest&) { return HttpResponse::Redirect(301, "/mid"); });
    server_.Handle(
        "/mid", [this](const HttpRequest&) { return HttpResponse::Redirect(302, server_.Url("/new?x=1")); });
    server_.Handle("/new", [](const HttpRequest& r) { return HttpResponse::Ok("moved " + r.query); });
    EXPECT_EQ(HttpGetText(server_.UrlText("/old"), 65001), QStringLiteral("moved x=1"));
    EXPECT_EQ(server_.RequestCount(), 3u);
}

TEST_F(HttpGetTextTest, RedirectLoopsAndRedirectsToFailuresAreEmpty) {
    server_.Handle("/loop", [](const HttpRequest&) { return HttpResponse::Redirect(302, "/loop"); });
    server_.Handle("/gone", [](const HttpRequest&) { return HttpResponse::Redirect(302, "/nowhere"); });
    server_.Handle("/file",
                   [](const HttpRequest&) { return HttpResponse::Redirect(302, "file:///etc/hostname"); });
    EXPECT_TRUE(HttpGetText(server_.UrlText("/loop"), 65001).isEmpty());
    EXPECT_LE(server_.RequestCount(), 12u);
    EXPECT_TRUE(HttpGetText(server_.UrlText("/gone"), 65001).isEmpty());
    EXPECT_TRUE(HttpGetText(server_.UrlText("/file"), 65001).isEmpty());
}

TEST_F(HttpGetTextTest, DropsAUtf8ByteOrderMarkWhateverTheCodePage) {
    server_.Handle("/bom", [](const HttpRequest&) { return HttpResponse::Ok("\xEF\xBB\xBFRadio"); });
    server_.Handle("/bom-only", [](const HttpRequest&) { return HttpResponse::Ok("\xEF\xBB\xBF"); });
    EXPECT_EQ(HttpGetText(server_.UrlText("/bom"), 65001), QStringLiteral("Radio"));
    EXPECT_EQ(HttpGetText(server_.UrlText("/bom"), 932), QStringLiteral("Radio"));
    EXPECT_EQ(HttpGetText(server_.UrlText("/bom"), 949), QStringLiteral("Radio"));
    // Three bytes alone are never stripped.
    EXPECT_EQ(HttpGetText(server_.UrlText("/bom-only"), 65001), QString(QChar(0xFEFF)));
}

TEST_F(HttpGetTextTest, AServerThatNeverAnswersHitsTheTimeLimit) {
    server_.SetMode(HttpServer::Mode::NeverAnswer);
    HttpLimits limits;
    limits.timeLimit = 700ms;
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(HttpGetText(server_.UrlText("/slow"), 65001, limits).isEmpty());
    EXPECT_GE(clock.elapsed(), 600);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(server_.RequestCount(), 1u);
}

TEST_F(HttpGetTextTest, AnAnswerSlowerThanTheLimitIsEmptyAndAFasterOneIsNot) {
    server_.Handle("/late", [](const HttpRequest&) {
        HttpResponse r = HttpResponse::Ok("late");
        r.delayMs = 1500;
        return r;
    });
    server_.Handle("/soon", [](const HttpRequest&) {
        HttpResponse r = HttpResponse::Ok("soon");
        r.delayMs = 100;
        return r;
    });
    HttpLimits limits;
    limits.timeLimit = 800ms;
    EXPECT_TRUE(HttpGetText(server_.UrlText("/late"), 65001, limits).isEmpty());
    EXPECT_EQ(HttpGetText(server_.UrlText("/soon"), 65001, limits), QStringLiteral("soon"));
}

TEST_F(HttpGetTextTest, AnEndlessBodyHitsTheSizeLimit) {
    server_.SetMode(HttpServer::Mode::EndlessBody);
    HttpLimits limits;
    limits.maxBodyBytes = 1 << 20;
    EXPECT_TRUE(HttpGetText(server_.UrlText("/stream"), 65001, limits).isEmpty());
    const HttpResult r = HttpGet(server_.UrlText("/stream"), limits);
    EXPECT_EQ(r.status, 200);  // the answer came; its size made it a failure
    EXPECT_FALSE(r.transferOk);
    EXPECT_TRUE(r.body.isEmpty());
    // The default limit (16 MiB) applies too; loopback delivers that within moments.
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(HttpGetText(server_.UrlText("/stream"), 65001).isEmpty());
    EXPECT_LT(clock.elapsed(), 20000);
}

TEST_F(HttpGetTextTest, SizeLimitIsInclusiveAndAppliesToDeclaredLengths) {
    server_.Handle("/exact", [](const HttpRequest&) { return HttpResponse::Ok(std::string(1000, 'a')); });
    server_.Handle("/over", [](const HttpRequest&) { return HttpResponse::Ok(std::string(1001, 'a')); });
    HttpLimits limits;
    limits.maxBodyBytes = 1000;
    EXPECT_EQ(HttpGetText(server_.UrlText("/exact"), 65001, limits).size(), 1000);
    EXPECT_TRUE(HttpGetText(server_.UrlText("/over"), 65001, limits).isEmpty());
}

TEST_F(HttpGetTextTest, BrokenTransfersAreEmpty) {
    // Fewer bytes than announced, then the connection closes.
    server_.Handle("/cut", [](const HttpRequest&) {
        return HttpResponse::RawBytes("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten..");
    });
    server_.Handle("/garbage", [](const HttpRequest&) { return HttpResponse::RawBytes("hello\r\n"); });
    EXPECT_TRUE(HttpGetText(server_.UrlText("/cut"), 65001).isEmpty());
    EXPECT_EQ(HttpGet(server_.UrlText("/cut")).failure, HttpFailure::Broken);
    EXPECT_TRUE(HttpGetText(server_.UrlText("/garbage"), 65001).isEmpty());
    // A body delimited by the end of the connection is complete.
    server_.Handle("/old-style", [](const HttpRequest&) {
        return HttpResponse::RawBytes("HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n<list/>");
    });
    EXPECT_EQ(HttpGetText(server_.UrlText("/old-style"), 65001), QStringLiteral("<list/>"));
}

TEST_F(HttpGetTextTest, UnreachableOrMalformedUrlsAreEmpty) {
    int closedPort;
    {
        HttpServer gone;
        closedPort = gone.Port();
    }
    EXPECT_TRUE(HttpGetText(QStringLiteral("http://127.0.0.1:%1/").arg(closedPort), 65001).isEmpty());
    EXPECT_TRUE(HttpGetText(QStringLiteral("not a url"), 65001).isEmpty());
    EXPECT_TRUE(HttpGetText(QString(), 65001).isEmpty());
    EXPECT_TRUE(HttpGetText(QStringLiteral("file:///etc/hostname"), 65001).isEmpty());
}

TEST_F(HttpGetTextTest, TimersKeepFiringDuringAFetch) {
    server_.Handle("/wait", [](const HttpRequest&) {
        HttpResponse r = HttpResponse::Ok("done");
        r.delayMs = 500;
        return r;
    });
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(20);
    EXPECT_EQ(HttpGetText(server_.UrlText("/wait"), 65001), QStringLiteral("done"));
    EXPECT_GE(ticks, 10);
}

TEST_F(HttpGetTextTest, AFetchInsideAnEventHandlerDuringAFetchWorks) {
    server_.Handle("/outer", [](const HttpRequest&) {
        HttpResponse r = HttpResponse::Ok("outer");
        r.delayMs = 400;
        return r;
    });
    server_.Handle("/inner", [](const HttpRequest&) { return HttpResponse::Ok("inner"); });
    QString inner;
    QTimer::singleShot(50, [&] { inner = HttpGetText(server_.UrlText("/inner"), 65001); });
    EXPECT_EQ(HttpGetText(server_.UrlText("/outer"), 65001), QStringLiteral("outer"));
    EXPECT_EQ(inner, QStringLiteral("inner"));
}

// What a caller that reports failures gets to know.
TEST_F(HttpGetTextTest, FailuresSayWhatWentWrong) {
    int closedPort;
    {
        HttpServer gone;
        closedPort = gone.Port();
    }
    server_.Handle("/never", [](const HttpRequest&) { return HttpResponse::Never(); });
    server_.Handle("/endless", [](const HttpRequest&) { return HttpResponse::Endless(); });
    HttpLimits limits;
    limits.timeLimit = 500ms;
    limits.maxBodyBytes = 1 << 16;
    const struct {
        QString url;
        HttpFailure failure;
    } cases[] = {
        {QStringLiteral("http://127.0.0.1:%1/").arg(closedPort), HttpFailure::CannotConnect},
        {server_.UrlText("/never"), HttpFailure::TimedOut},
        {server_.UrlText("/endless"), HttpFailure::TooLarge},
        {QStringLiteral("ftp://127.0.0.1/"), HttpFailure::BadUrl},
        {server_.UrlText("/nothing-here"), HttpFailure::None},  // a 404 is an answer
    };
    for (const auto& c : cases) {
        const HttpResult r = HttpGet(c.url, limits);
        EXPECT_EQ(r.failure, c.failure) << c.url.toStdString();
        EXPECT_EQ(r.transferOk, c.failure == HttpFailure::None) << c.url.toStdString();
    }
}

TEST_F(HttpGetTextTest, AWorkerThreadFetchBlocksAndCanBeCancelled) {
    server_.Handle("/never", [](const HttpRequest&) { return HttpResponse::Never(); });
    server_.Handle("/ok", [](const HttpRequest&) { return HttpResponse::Ok("fine"); });
    std::atomic<bool> cancel{false};
    HttpLimits limits;
    limits.cancel = &cancel;
    HttpResult ok;
    HttpResult cancelled;
    std::thread worker([&] {
        ok = HttpGet(server_.UrlText("/ok"), limits);
        cancelled = HttpGet(server_.UrlText("/never"), limits);
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return server_.RequestCount() == 2; }, 5000));
    QElapsedTimer clock;
    clock.start();
    cancel = true;
    worker.join();
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(ok.body, "fine");
    EXPECT_EQ(cancelled.failure, HttpFailure::Cancelled);
}

TEST(ResolveHostNames, NamesOfTheAddressesBehindAHost) {
    // Answered from the hosts file: no name server is asked.
    const QStringList names = ResolveHostNames(QStringLiteral("127.0.0.1"), 3s);
    EXPECT_TRUE(names.contains(QStringLiteral("localhost"))) << names.join(u',').toStdString();
    EXPECT_TRUE(ResolveHostNames(QString(), 3s).isEmpty());
}

}  // namespace
}  // namespace wavelot
