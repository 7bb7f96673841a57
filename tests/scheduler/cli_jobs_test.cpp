// wavelot-cli jobs refusing what it cannot run. Running jobs, with and without the window, is
// tested with the window (tests/ui/jobs_window_test.cpp).
#include <gtest/gtest.h>

#include "tests/support/cli_runner.h"

using namespace Qt::StringLiterals;

namespace wavelot::test {
namespace {

TEST(CliJobs, BadArgumentsAndAMissingJobFileFail) {
    EXPECT_EQ(RunCli({u"jobs"_s, u"--seconds"_s, u"-1"_s}).status, 2);
    EXPECT_EQ(RunCli({u"jobs"_s, u"--jobs"_s}).status, 2);
    EXPECT_EQ(RunCli({u"jobs"_s, u"--jobs"_s, u"/nonexistent/jobs.ini"_s}).status, 1);
}

}  // namespace
}  // namespace wavelot::test
