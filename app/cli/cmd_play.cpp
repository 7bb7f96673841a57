// wavelot-cli play: plays one station the way the program does and prints the play log.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QString>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <optional>

#include "app/cli/command_registry.h"
#include "core/app_folders.h"
#include "core/song_array.h"
#include "engine/audio/audio_library.h"
#include "engine/engine_setup.h"
#include "engine/player.h"

namespace wavelot::cli {
namespace {

volatile std::sig_atomic_t gInterrupted = 0;
extern "C" void OnInterrupt(int) {
    gInterrupted = 1;
}

struct PlayArgs {
    QString url;
    int code = 0;
    std::optional<double> seconds;
    std::optional<int> volume;
};

std::optional<PlayArgs> ParseArgs(const CommandArgs& args) {
    PlayArgs out;
    bool haveUrl = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        bool ok = false;
        if (a == "--code" && hasValue) {
            out.code = QString::fromStdString(args[++i]).toInt(&ok);
        } else if (a == "--seconds" && hasValue) {
            out.seconds = QString::fromStdString(args[++i]).toDouble(&ok);
            ok = ok && *out.seconds >= 0;
        } else if (a == "--volume" && hasValue) {
            out.volume = QString::fromStdString(args[++i]).toInt(&ok);
        } else if (!a.starts_with("--") && !haveUrl) {
            out.url = QString::fromStdString(a);
            ok = haveUrl = true;
        }
        if (!ok)
            return std::nullopt;
    }
    if (!haveUrl)
        return std::nullopt;
    return out;
}

void PrintLine(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Plays until the time is up, the user interrupts, or the stream ends by itself. Titles are
// polled as the window's song timer does, so Ogg chain links are noticed as well.
int Run(const CommandArgs& args) {
    const std::optional<PlayArgs> parsed = ParseArgs(args);
    if (!parsed)
        return UsageError("play");
    const PlayArgs& p = *parsed;

    InitAppFolders();
    AudioLibrary audio;
    if (!InitAudioEngine(audio)) {
        std::fprintf(stderr, "%s\n", EngineSetupFailedMessage().toUtf8().constData());
        return 1;
    }

    int status = 0;
    {
        clsSongArray playLog;
        Player player(SettingFile(), audio, playLog);
        QObject::connect(&player, &Player::logLineAdded, [](const QString& text, bool) { PrintLine(text); });
        if (p.volume)
            player.SetVolume(*p.volume);

        gInterrupted = 0;
        const auto oldInt = std::signal(SIGINT, OnInterrupt);
        const auto oldTerm = std::signal(SIGTERM, OnInterrupt);

        player.PlayRadio(p.url, p.url, p.code);
        if (!player.IsConnected()) {
            status = 1;
        } else {
            QElapsedTimer clock;
            clock.start();
            QEventLoop loop;
            QTimer tick;
            QObject::connect(&tick, &QTimer::timeout, [&] {
                const bool timeUp = p.seconds && clock.elapsed() >= *p.seconds * 1000.0;
                if (gInterrupted || timeUp) {
                    tick.stop();
                    player.StopRadio();
                    loop.quit();
                    return;
                }
                if (player.PlaybackState() != Player::State::Playing) {
                    tick.stop();
                    std::fputs("wavelot-cli: the stream has ended\n", stderr);
                    loop.quit();
                    return;
                }
                player.UpdateSongTitle(player.StationCode());
            });
            tick.start(50);
            loop.exec();
        }
        std::signal(SIGINT, oldInt);
        std::signal(SIGTERM, oldTerm);
    }
    ReleaseAudioEngine(audio);
    return status;
}

const CommandRegistration reg{"play", "play URL [--code N] [--seconds S] [--volume V]", &Run};

}  // namespace
}  // namespace wavelot::cli
