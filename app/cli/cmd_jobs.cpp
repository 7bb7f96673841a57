// wavelot-cli jobs: the job scheduler without a window. It plays, records and reconnects with the
// same parts the window uses (player, recorder, stream watchdog), and prints the play log.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QString>
#include <QThread>
#include <QTimer>

#include <climits>
#include <cstdio>
#include <optional>

#include "app/cli/command_registry.h"
#include "core/app_folders.h"
#include "core/exit_signals.h"
#include "core/list_ini_reader.h"
#include "core/settings.h"
#include "core/single_instance.h"
#include "core/song_array.h"
#include "engine/audio/audio_library.h"
#include "engine/engine_setup.h"
#include "engine/player.h"
#include "engine/record_options.h"
#include "engine/recorder.h"
#include "engine/stream_watchdog.h"
#include "scheduler/job_scheduler.h"
#include "scheduler/job_time.h"

namespace wavelot::cli {
namespace {

// What one timer can wait (about 24 days); without --seconds the run has no end.
constexpr double kMaxSeconds = INT_MAX / 1000;
// As the window's song timer: titles are polled and drops looked for while a stream plays.
constexpr int kSongTickMs = 10;

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
    const QString ownJobs = SettingFolder() + QString::fromUtf16(kRunJobFileName);
    const QString jobsFile = parsed->jobsFile.isEmpty() ? ownJobs : parsed->jobsFile;
    // The running program's jobs are its own to run: two schedulers would start each twice.
    const QString given = QFileInfo(jobsFile).canonicalFilePath();
    const bool ownList =
        parsed->jobsFile.isEmpty() || (!given.isEmpty() && given == QFileInfo(ownJobs).canonicalFilePath());
    if (ownList && SingleInstance::HeldElsewhere(SettingFolder())) {
        Print(stderr, QStringLiteral("wavelot-cli: Wavelot is running with %1 and runs these jobs itself; "
                                     "end it first, or give a job list of its own with --jobs FILE")
                          .arg(jobsFile));
        return 1;
    }
    clsSongArray jobs;
    const ListFileRead read = ReadListFile(jobsFile, true, jobs);
    if (read.state == ListFileRead::State::Unreadable) {
        Print(stderr, QStringLiteral("wavelot-cli: cannot read ") + jobsFile);
        return 1;
    }
    if (read.state == ListFileRead::State::Damaged)
        Print(
            stderr,
            QStringLiteral("wavelot-cli: %1 is damaged; only the jobs that could be read run").arg(jobsFile));
    if (read.added == 0) {
        Print(stderr, QStringLiteral("wavelot-cli: no jobs in ") + jobsFile);
        return 1;
    }
    int enabled = 0;
    for (int i = 0; i < jobs.ListCount(); ++i)
        enabled += jobs.RunJob(i) == kJobEnabled ? 1 : 0;
    Print(stderr, QStringLiteral("wavelot-cli: %1 jobs (%2 enabled) from %3")
                      .arg(jobs.ListCount())
                      .arg(enabled)
                      .arg(jobsFile));

    AudioLibrary audio;
    if (!InitAudioEngine(audio)) {
        Print(stderr, EngineSetupFailedMessage());
        return 1;
    }
    {
        // The stored options, as the window's options dialog starts with; --dir for the folder.
        const Settings settings(SettingFile());
        FixedRecordOptions options;
        options.folder = parsed->dir.value_or(settings.FilePath());
        options.quality = settings.Quality();
        options.loop = settings.LoopRec() == 1;
        clsSongArray playLog;
        Player player(SettingFile(), audio, playLog);
        Recorder recorder(player, audio, options, ProgramFolder(), RecordFolder());
        player.SetRecordStarter([&recorder](const audio::EncodeFrom& from) { recorder.StartRecord(from); });
        StreamWatchdog watchdog(player, recorder, options);
        JobScheduler scheduler(jobs, player, SettingFile());

        // The song timer runs while something plays; a play-log line (every connect logs one)
        // starts it, so an idle run wakes only for the scheduler.
        QTimer song;
        song.setInterval(kSongTickMs);
        QObject::connect(&song, &QTimer::timeout, [&] {
            if (player.PlaybackState() == Player::State::Idle)
                song.stop();
            else
                watchdog.Tick();
        });
        QObject::connect(&player, &Player::logLineAdded, [&](const QString& text, bool) {
            Print(stdout, text);
            if (!song.isActive())
                song.start();
        });

        QEventLoop loop;
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
        song.stop();
        player.StopRadio();
        audio.EncodeStop(player.Current());  // a stream that dropped is not stopped by StopRadio
        // The files are finished by the encoders' end notifications.
        QElapsedTimer wait;
        wait.start();
        while (recorder.UnfinishedFiles() > 0 && wait.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
        player.SetRecordStarter({});
    }
    ReleaseAudioEngine(audio);
    return 0;
}

const CommandRegistration reg{"jobs", "jobs [--jobs FILE] [--dir DIR] [--seconds S]", &Run};

}  // namespace
}  // namespace wavelot::cli
