// wavelot-cli jobs, run from a copy in a temporary folder (so the settings it writes stay
// private) over a job list file, against the tests' ICY server.
#include <QFile>
#include <QTemporaryDir>
#include <QTime>

#include <gtest/gtest.h>

#include "core/list_files.h"
#include "core/song_array.h"
#include "tests/support/child_process.h"
#include "tests/support/cli_runner.h"
#include "tests/support/icy_server.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

TEST(CliJobs, PlaysAndStopsTheJobsOfAFileAndRefusesBadArguments) {
    QTemporaryDir dir;
    const QString exe = dir.filePath(u"wavelot-cli"_s);
    ASSERT_TRUE(QFile::copy(qEnvironmentVariable("WAVELOT_BUILD_DIR") + u"/app/wavelot-cli"_s, exe));
    IcyServer icy;
    icy.SetStream("/cli", {.head = IcyServer::IcyHead("CLI FM", 0),
                           .audioFile = IcyServer::MakeTone(MakeTempDir("wavelot-cli-tone"), 440, 4)});
    clsSongArray jobs;
    const QTime now = QTime::currentTime();
    jobs.AddItem({.file = QString::fromStdString(icy.Url("/cli")),
                  .title = u"CLI Job"_s,
                  .jobStart = now.addSecs(2).toString(u"HH:mm:ss"_s),
                  .jobStop = now.addSecs(5).toString(u"HH:mm:ss"_s),
                  .runJob = 1});
    const QString file = dir.filePath(u"jobs.ini"_s);
    ASSERT_TRUE(WriteListIni(file, jobs, true));

    const CliResult r = RunCli({u"jobs"_s, u"--jobs"_s, file, u"--seconds"_s, u"7"_s}, 30000, exe);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    const QString out = QString::fromUtf8(r.out);
    const qsizetype connect = out.indexOf(u": 連線至 CLI Job\n"_s);
    EXPECT_GE(connect, 0) << out.toStdString();
    EXPECT_GT(out.indexOf(u": 停止播放\n"_s), connect) << out.toStdString();

    EXPECT_EQ(RunCli({u"jobs"_s, u"--seconds"_s, u"-1"_s}, 30000, exe).status, 2);
    EXPECT_EQ(RunCli({u"jobs"_s, u"--jobs"_s, dir.filePath(u"none.ini"_s)}, 30000, exe).status, 1);
}

}  // namespace
}  // namespace wavelot::test
