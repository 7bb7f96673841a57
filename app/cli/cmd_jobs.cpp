// wavelot-cli jobs: the job scheduler without a window. It plays, records and reconnects with the
// same parts the window uses (player, recorder, stream watchdog), and prints the play log.
#include <QFileInfo>
#include <QObject>
#include <QString>

#include <climits>
#include <cstdio>
#include <optional>

#include "app/cli/cli_session.h"
#include "app/cli/command_registry.h"
#include "core/app_folders.h"
#include "core/list_ini_reader.h"
#include "core/single_instance.h"
#include "core/song_array.h"
#include "engine/player.h"
#include "scheduler/job_time.h"
#include "session/session.h"

namespace wavelot::cli {
namespace {

// What one timer can wait (about 24 days); without --seconds the run has no end.
constexpr double kMaxSeconds = INT_MAX / 1000;

struct JobsArgs {
    QString jobsFile;
    std::optional<QString> dir;
    std::optional<double> seconds;
};

std::optional<JobsArgs> ParseArgs(const CommandArgs& args) {
    JobsArgs out;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size())
            return std::nullopt;
        const QString value = QString::fromStdString(args[++i]);
        bool ok = !value.isEmpty();
        if (a == "--jobs") {
            out.jobsFile = value;
        } else if (a == "--dir") {
            out.dir = value;
        } else if (a == "--seconds") {
            out.seconds = value.toDouble(&ok);
            ok = ok && *out.seconds >= 0 && *out.seconds <= kMaxSeconds;
        } else {
            ok = false;
        }
        if (!ok)
            return std::nullopt;
    }
    return out;
}

// The running program's jobs are its own to run: two schedulers would start each twice.
bool HeldByTheProgram(const JobsArgs& args, const QString& jobsFile, const QString& ownJobs) {
    const QString given = QFileInfo(jobsFile).canonicalFilePath();
    const bool ownList =
        args.jobsFile.isEmpty() || (!given.isEmpty() && given == QFileInfo(ownJobs).canonicalFilePath());
    if (!ownList || !SingleInstance::HeldElsewhere(SettingFolder()))
        return false;
    PrintLine(stderr, QStringLiteral("wavelot-cli: Wavelot is running with %1 and runs these jobs itself; "
                                     "end it first, or give a job list of its own with --jobs FILE")
                          .arg(jobsFile));
    return true;
}

// Reads the job list, saying what went wrong; false when there is nothing to run.
bool ReadJobs(const QString& jobsFile, clsSongArray& jobs) {
    const ListFileRead read = ReadListFile(jobsFile, true, jobs);
    if (read.state == ListFileRead::State::Unreadable) {
        PrintLine(stderr, QStringLiteral("wavelot-cli: cannot read ") + jobsFile);
        return false;
    }
    if (read.state == ListFileRead::State::Damaged)
        PrintLine(
            stderr,
            QStringLiteral("wavelot-cli: %1 is damaged; only the jobs that could be read run").arg(jobsFile));
    if (read.added == 0) {
        PrintLine(stderr, QStringLiteral("wavelot-cli: no jobs in ") + jobsFile);
        return false;
    }
    int enabled = 0;
    for (int i = 0; i < jobs.ListCount(); ++i)
        enabled += jobs.RunJob(i) == kJobEnabled ? 1 : 0;
    PrintLine(stderr, QStringLiteral("wavelot-cli: %1 jobs (%2 enabled) from %3")
                          .arg(jobs.ListCount())
                          .arg(enabled)
                          .arg(jobsFile));
    return true;
}

// Runs the jobs until an exit signal comes or the time is up. The stored options apply, as the
// window's options dialog starts with them; --dir gives the folder.
int Run(const CommandArgs& args) {
    const std::optional<JobsArgs> parsed = ParseArgs(args);
    if (!parsed)
        return UsageError("jobs");
    InitAppFolders();
    const QString ownJobs = SettingFolder() + QString::fromUtf16(kRunJobFileName);
    const QString jobsFile = parsed->jobsFile.isEmpty() ? ownJobs : parsed->jobsFile;
    if (HeldByTheProgram(*parsed, jobsFile, ownJobs))
        return 1;
    Session session;
    if (!ReadJobs(jobsFile, session.Lists().jobList))
        return 1;
    if (!StartPrintingSession(session))
        return 1;
    if (parsed->dir)
        session.Options().recordingFolder = *parsed->dir;
    session.StartJobs();
    session.Run(parsed->seconds);
    return 0;
}

const CommandRegistration reg{"jobs", "jobs [--jobs FILE] [--dir DIR] [--seconds S]", &Run};

}  // namespace
}  // namespace wavelot::cli
