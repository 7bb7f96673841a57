// wavelot-cli jobs: the job scheduler without a window. It plays (and, for record jobs, issues
// the record command) exactly as the window's scheduler does, and prints the play log.
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QString>
#include <QTimer>

#include <climits>
#include <cstdio>
#include <optional>

#include "app/cli/command_registry.h"
#include "core/app_folders.h"
#include "core/exit_signals.h"
#include "core/list_files.h"
#include "core/path_utils.h"
#include "core/song_array.h"
#include "engine/audio/audio_library.h"
#include "engine/engine_setup.h"
#include "engine/player.h"
#include "scheduler/job_scheduler.h"
#include "scheduler/job_time.h"

namespace wavelot::cli {
namespace {

// What one timer can wait (about 24 days); without --seconds the run has no end.
constexpr double kMaxSeconds = INT_MAX / 1000;

struct JobsArgs {
    QString jobsFile;
    QString recordFolder;
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
            out.recordFolder = value;
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

void Print(FILE* to, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), to);
    std::fputc('\n', to);
    std::fflush(to);
}

int Run(const CommandArgs& args) {
    const std::optional<JobsArgs> parsed = ParseArgs(args);
    if (!parsed)
        return UsageError("jobs");
    InitAppFolders();
    const QString jobsFile =
        parsed->jobsFile.isEmpty() ? SettingFolder() + QString::fromUtf16(kRunJobFileName) : parsed->jobsFile;
    const QString recordFolder = parsed->recordFolder.isEmpty()
                                     ? RecordFolder()
                                     : WithBackslash(QDir(parsed->recordFolder).absolutePath());
    if (!CreateFolder(recordFolder)) {
        Print(stderr, QStringLiteral("wavelot-cli: cannot create the recording folder ") + recordFolder);
        return 1;
    }

    clsSongArray jobs;
    if (!QFileInfo(jobsFile).isReadable() || ReadListIni(jobsFile, true, jobs) == 0) {
        Print(stderr, QStringLiteral("wavelot-cli: no jobs in ") + jobsFile);
        return 1;
    }
    int enabled = 0;
    for (int i = 0; i < jobs.ListCount(); ++i)
        enabled += jobs.RunJob(i) == kJobEnabled ? 1 : 0;
    Print(stderr, QStringLiteral("wavelot-cli: %1 jobs (%2 enabled) from %3, recordings in %4")
                      .arg(jobs.ListCount())
                      .arg(enabled)
                      .arg(jobsFile, recordFolder));

    AudioLibrary audio;
    if (!InitAudioEngine(audio)) {
        Print(stderr, EngineSetupFailedMessage());
        return 1;
    }
    {
        clsSongArray playLog;
        Player player(SettingFile(), audio, playLog);
        JobScheduler scheduler(jobs, player, SettingFile());
        QEventLoop loop;
        // Titles arrive with the engine's metadata notification; polling them while a stream
        // plays, as the window's song timer does, also catches tags that change without one.
        // Nothing polls while nothing plays, so an idle run wakes only for the scheduler.
        QTimer titles;
        titles.setInterval(100);
        QObject::connect(&titles, &QTimer::timeout, [&] {
            if (player.PlaybackState() == Player::State::Idle)
                titles.stop();
            else if (player.IsConnected())
                player.UpdateSongTitle(player.StationCode());
        });
        QObject::connect(&player, &Player::logLineAdded, [&](const QString& text, bool) {
            Print(stdout, text);
            if (!titles.isActive())
                titles.start();
        });
        ExitSignals signals;
        QObject::connect(&signals, &ExitSignals::ExitRequested, &loop, &QEventLoop::quit);
        QTimer end;
        end.setSingleShot(true);
        QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
        if (parsed->seconds)
            end.start(static_cast<int>(*parsed->seconds * 1000.0));

        scheduler.Start();
        loop.exec();
        scheduler.Stop();
        titles.stop();
        player.StopRadio();
    }
    ReleaseAudioEngine(audio);
    return 0;
}

const CommandRegistration reg{"jobs", "jobs [--jobs FILE] [--dir DIR] [--seconds S]", &Run};

}  // namespace
}  // namespace wavelot::cli
