// wavelot-cli record: plays one station and records it the way the record command does, one MP3
// per song title, printing the play log.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QString>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <optional>

#include "app/cli/command_registry.h"
#include "core/app_folders.h"
#include "core/settings.h"
#include "core/song_array.h"
#include "engine/audio/audio_library.h"
#include "engine/engine_setup.h"
#include "engine/player.h"
#include "engine/record_options.h"
#include "engine/recorder.h"
#include "engine/stream_watchdog.h"

namespace wavelot::cli {
namespace {

volatile std::sig_atomic_t gRecordInterrupted = 0;
extern "C" void OnRecordInterrupt(int) {
    gRecordInterrupted = 1;
}

struct RecordArgs {
    QString url;
    int code = 0;
    double seconds = 0;
    std::optional<QString> dir;
    std::optional<int> quality;
    bool loopRec = false;
};

std::optional<RecordArgs> ParseArgs(const CommandArgs& args) {
    RecordArgs out;
    bool haveUrl = false;
    bool haveSeconds = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        bool ok = false;
        if (a == "--code" && hasValue) {
            out.code = QString::fromStdString(args[++i]).toInt(&ok);
        } else if (a == "--seconds" && hasValue) {
            out.seconds = QString::fromStdString(args[++i]).toDouble(&ok);
            ok = haveSeconds = ok && out.seconds >= 0;
        } else if (a == "--dir" && hasValue) {
            out.dir = QString::fromStdString(args[++i]);
            ok = !out.dir->isEmpty();
        } else if (a == "--quality" && hasValue) {
            out.quality = QString::fromStdString(args[++i]).toInt(&ok);
        } else if (a == "--loop-rec") {
            ok = out.loopRec = true;
        } else if (!a.starts_with("--") && !haveUrl) {
            out.url = QString::fromStdString(a);
            ok = haveUrl = true;
        }
        if (!ok)
            return std::nullopt;
    }
    if (!haveUrl || !haveSeconds)
        return std::nullopt;
    return out;
}

void PrintLine(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Records until the time is up or the user interrupts. A dropped stream is opened again as the
// window's song timer does; the command ends early only when nothing is connected any more.
int Run(const CommandArgs& args) {
    const std::optional<RecordArgs> parsed = ParseArgs(args);
    if (!parsed)
        return UsageError("record");
    const RecordArgs& r = *parsed;

    InitAppFolders();
    AudioLibrary audio;
    if (!InitAudioEngine(audio)) {
        std::fprintf(stderr, "%s\n", EngineSetupFailedMessage().toUtf8().constData());
        return 1;
    }

    int status = 0;
    {
        // The options of the command line, else the program's stored ones.
        const Settings settings(SettingFile());
        FixedRecordOptions options;
        options.folder = r.dir.value_or(settings.FilePath());
        options.quality = r.quality.value_or(settings.Quality());
        options.loop = r.loopRec;
        clsSongArray playLog;
        Player player(SettingFile(), audio, playLog);
        Recorder recorder(player, audio, options, ProgramFolder(), RecordFolder());
        player.SetRecordStarter([&recorder](const audio::EncodeFrom& from) { recorder.StartRecord(from); });
        StreamWatchdog watchdog(player, recorder, options);
        QObject::connect(&player, &Player::logLineAdded, [](const QString& text, bool) { PrintLine(text); });

        gRecordInterrupted = 0;
        const auto oldInt = std::signal(SIGINT, OnRecordInterrupt);
        const auto oldTerm = std::signal(SIGTERM, OnRecordInterrupt);

        player.PlayRadio(r.url, r.url, r.code);
        if (!player.IsConnected()) {
            status = 1;
        } else {
            player.ToggleRecording();
            QElapsedTimer clock;
            clock.start();
            QEventLoop loop;
            QTimer tick;
            bool inTick = false;  // a reconnect waits inside a tick while timers go on
            QObject::connect(&tick, &QTimer::timeout, [&] {
                if (inTick)
                    return;
                inTick = true;
                if (gRecordInterrupted || clock.elapsed() >= r.seconds * 1000.0) {
                    tick.stop();
                    loop.quit();
                } else if (player.PlaybackState() == Player::State::Idle) {
                    tick.stop();
                    std::fputs("wavelot-cli: the stream has ended\n", stderr);
                    loop.quit();
                } else {
                    watchdog.Tick();
                }
                inTick = false;
            });
            tick.start(10);
            loop.exec();
            player.StopRadio();
            audio.EncodeStop(player.Current());  // a stream that dropped is not stopped by StopRadio
        }
        std::signal(SIGINT, oldInt);
        std::signal(SIGTERM, oldTerm);
        // The files are finished by the encoders' end notifications.
        QElapsedTimer wait;
        wait.start();
        while (recorder.UnfinishedFiles() > 0 && wait.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
    }
    ReleaseAudioEngine(audio);
    return status;
}

const CommandRegistration reg{
    "record", "record URL [--code N] --seconds S [--dir DIR] [--quality INDEX] [--loop-rec]", &Run};

}  // namespace
}  // namespace wavelot::cli
