// wavelot-cli fetch against a server on 127.0.0.1.
#include <gtest/gtest.h>

#include "tests/support/cli_runner.h"
#include "tests/support/http_server.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

CliResult Cli(const QStringList& args) {
    return RunCli(args, 60000);
}

TEST(CliFetch, PrintsTheDecodedBody) {
    HttpServer server;
    server.Handle("/kr", [](const HttpRequest&) { return HttpResponse::Ok("\xB0\xA1 FM"); });
    const CliResult r = Cli({u"fetch"_s, server.UrlText("/kr"), u"949"_s});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "\xEA\xB0\x80 FM\n");  // 가 FM
    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Requests()[0].Header("CONTENT-TYPE"), "application/x-www-form-urlencoded");
}

TEST(CliFetch, EmptyResultExitsWithOne) {
    HttpServer server;
    server.Handle("/missing", [](const HttpRequest&) { return HttpResponse::Status(404, "page"); });
    server.Handle("/empty", [](const HttpRequest&) { return HttpResponse::Ok(""); });
    for (const char* path : {"/missing", "/empty"}) {
        const CliResult r = Cli({u"fetch"_s, server.UrlText(path), u"65001"_s});
        EXPECT_EQ(r.status, 1) << path;
        EXPECT_EQ(r.out, "\n") << path;
    }
}

TEST(CliFetch, WrongArgumentsAreUsageErrors) {
    for (const QStringList& args : {QStringList{u"fetch"_s}, QStringList{u"fetch"_s, u"http://127.0.0.1/"_s},
                                    QStringList{u"fetch"_s, u"http://127.0.0.1/"_s, u"utf8"_s},
                                    QStringList{u"fetch"_s, u"u"_s, u"65001"_s, u"x"_s}}) {
        const CliResult r = Cli(args);
        EXPECT_EQ(r.status, 2) << args.join(u' ').toStdString();
        EXPECT_TRUE(r.err.startsWith("usage:"));
    }
}

}  // namespace
}  // namespace wavelot::test
