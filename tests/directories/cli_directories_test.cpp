// wavelot-cli parse and search, run as a program from a copy in a temporary folder.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "core/ini_file.h"
#include "directories/directory_config.h"
#include "tests/directories/row_matchers.h"
#include "tests/support/http_server.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

QString DataPath(const QString& name) {
    return QString::fromLocal8Bit(qgetenv("WAVELOT_TEST_DATA")) + u"/directories/"_s + name;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        const QString built = QString::fromLocal8Bit(qgetenv("WAVELOT_BUILD_DIR")) + u"/app/wavelot-cli"_s;
        program_ = dir_.filePath(u"wavelot-cli"_s);
        ASSERT_TRUE(QFile::copy(built, program_)) << built.toStdString();
        ASSERT_TRUE(QDir(dir_.path()).mkpath(u"Setting"_s));
    }

    // Exit status; stdout into `out`, stderr into `err` when given.
    int Cli(const QStringList& args, QString* out, QString* err = nullptr) {
        QProcess p;
        p.start(program_, args);
        // The test's own event loop is not running, so wait here for the program to finish.
        if (!p.waitForFinished(60000))
            return -1;
        *out = QString::fromUtf8(p.readAllStandardOutput());
        if (err)
            *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    QString SettingFile() const { return dir_.filePath(u"Setting/Setting.ini"_s); }

    QTemporaryDir dir_;
    QString program_;
};

TEST_F(CliTest, ParsePrintsTenEscapedFieldsPerRecord) {
    QString out;
    ASSERT_EQ(Cli({u"parse"_s, u"livedoor"_s, DataPath(u"livedoor_list_crlf.zdat"_s)}, &out), 0);
    EXPECT_EQ(
        out,
        u"http://std1.ladio.example:8010/tokyo.m3u\t東京ラジオ DJ:太郎\t3\tMP3\t0\t0\t128 kbps\t5\t0\t0\n"
        u"http://std2.ladio.example:8020/osaka.m3u\tNone DJ: None\t3\tOGG\t0\t0\t0 kbps\t0\t0\t0\n"_s);

    // A field holding a tab, a backslash and line breaks stays on one line.
    QFile list(dir_.filePath(u"odd.zdat"_s));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("SRV=h\nNAM=a\tb\\c\rd\nBIT=1\n");
    list.close();
    ASSERT_EQ(Cli({u"parse"_s, u"livedoor"_s, list.fileName()}, &out), 0);
    EXPECT_EQ(out, u"http://h\ta\\tb\\\\c\\rd\t3\t\t0\t0\t1 kbps\t\t0\t0\n"_s);
}

TEST_F(CliTest, ParseUsesTheConfiguredAddresses) {
    ASSERT_TRUE(WriteIni(directory_keys::kSection, directory_keys::kShoutcastTuneInHost,
                         u"http://127.0.0.1:7"_s, SettingFile()));
    QString out;
    ASSERT_EQ(Cli({u"parse"_s, u"shoutcast"_s, DataPath(u"shoutcast_answer.xml"_s)}, &out), 0);
    EXPECT_TRUE(
        out.startsWith(u"http://127.0.0.1:7/sbin/tunein-station.pls?id=1477\tSmooth Jazz & Soul\t0\tMP3\t"_s))
        << out.toStdString();
    EXPECT_EQ(out.count(u'\n'), 3);
    ASSERT_EQ(Cli({u"parse"_s, u"icecast"_s, DataPath(u"icecast_search.html"_s)}, &out), 0);
    EXPECT_EQ(out.count(u'\n'), 3);
    ASSERT_EQ(Cli({u"parse"_s, u"inlive"_s, DataPath(u"inlive_rank.htm"_s)}, &out), 0);
    EXPECT_EQ(out.count(u'\n'), 2);
    ASSERT_EQ(Cli({u"parse"_s, u"local"_s, DataPath(u"Radio.txt"_s)}, &out), 0);
    EXPECT_TRUE(out.startsWith(u"http://radio.example.tw/bcc/news.mp3\t中廣新聞網\t0\t\t0\t0\t\t\t0\t0\n"_s));
}

TEST_F(CliTest, UsageAndFileErrors) {
    QString out;
    EXPECT_EQ(Cli({u"parse"_s, u"yahoo"_s, DataPath(u"Radio.txt"_s)}, &out), 2);
    EXPECT_EQ(Cli({u"parse"_s, u"icecast"_s}, &out), 2);
    EXPECT_EQ(Cli({u"parse"_s, u"icecast"_s, dir_.filePath(u"missing.html"_s)}, &out), 1);
    EXPECT_EQ(Cli({u"search"_s, u"shoutcast"_s}, &out), 2);  // needs a genre or a name
    EXPECT_EQ(Cli({u"search"_s, u"icecast"_s, u"--genre"_s, u"28"_s}, &out), 2);
    EXPECT_EQ(Cli({u"search"_s, u"icecast"_s, u"--genre"_s, u"1"_s, u"--name"_s, u"x"_s}, &out), 2);
}

TEST_F(CliTest, SearchReadsTheSettingsBesideTheProgram) {
    HttpServer server;
    ASSERT_TRUE(server.Ok());
    QFile page(DataPath(u"icecast_search.html"_s));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const std::string html = page.readAll().toStdString();
    server.Handle("/search", [html](const HttpRequest&) { return HttpResponse::Ok(html); });
    ASSERT_TRUE(
        WriteIni(directory_keys::kSection, directory_keys::kIcecastHost, server.UrlText(""), SettingFile()));
    ASSERT_TRUE(WriteIni(directory_keys::kSection, directory_keys::kIcecastBase, u"http://base.test"_s,
                         SettingFile()));

    QString out;
    ASSERT_EQ(Cli({u"search"_s, u"icecast"_s, u"--genre"_s, u"18"_s}, &out), 0);
    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Requests()[0].target, "/search?search=R%26B");
    EXPECT_TRUE(out.startsWith(
        u"http://base.test/listen/3101/jazz.m3u\tJazz & more, all day\t0\tMP3\t0\t0\t128 kbps\t21\t0\t0\n"_s))
        << out.toStdString();

    ASSERT_EQ(Cli({u"search"_s, u"icecast"_s, u"--name"_s, u"late night"_s}, &out), 0);
    EXPECT_EQ(out.count(u'\n'), 3);

    // A failed search prints no rows and says why, with a failing exit status.
    server.Handle("/search", [](const HttpRequest&) { return HttpResponse::Status(500); });
    QString err;
    ASSERT_EQ(Cli({u"search"_s, u"icecast"_s, u"--name"_s, u"x"_s}, &out, &err), 1);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(err, u"搜尋失敗：127.0.0.1:"_s + QString::number(server.Port()) + u" 回應 HTTP 500\n"_s);
}

TEST_F(CliTest, RadioBrowserParseAndSearch) {
    QString out;
    ASSERT_EQ(Cli({u"parse"_s, u"radio-browser"_s, DataPath(u"radio_browser_stations.json"_s)}, &out), 0);
    EXPECT_TRUE(
        out.startsWith(u"http://stream.jazz.example.net:8000/lounge128.mp3\tSmooth Jazz Lounge\t0\tMP3\t"
                       u"0\t0\t128 kbps\t4512\t0\t0\n"_s))
        << out.toStdString();
    EXPECT_EQ(out.count(u'\n'), 5);
    EXPECT_EQ(Cli({u"parse"_s, u"radio-browser"_s, DataPath(u"icecast_search.html"_s)}, &out), 1);

    HttpServer server;
    ASSERT_TRUE(server.Ok());
    QFile page(DataPath(u"radio_browser_stations.json"_s));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    const std::string json = page.readAll().toStdString();
    server.Handle("/json/stations/search", [json](const HttpRequest& r) {
        return HttpResponse::Ok(r.query.find("name=") == 0 ? "[]" : json, "application/json");
    });
    ASSERT_TRUE(WriteIni(directory_keys::kSection, directory_keys::kRadioBrowserServers, server.UrlText(""),
                         SettingFile()));
    ASSERT_EQ(Cli({u"search"_s, u"radio-browser"_s, u"--genre"_s, u"13"_s}, &out), 0);
    EXPECT_EQ(out.count(u'\n'), 5);
    QString err;
    ASSERT_EQ(Cli({u"search"_s, u"radio-browser"_s, u"--name"_s, u"深夜"_s}, &out, &err), 0);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_EQ(err, u"搜尋完成：沒有找到電台\n"_s);
}

}  // namespace
}  // namespace wavelot::test
