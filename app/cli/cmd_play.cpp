// wavelot-cli play: plays one station the way the program does and prints the play log.
#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <limits>
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
int gWakeFd = -1;  // the write end of the pipe the play loop watches
extern "C" void OnInterrupt(int) {
    gInterrupted = 1;
    if (gWakeFd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = write(gWakeFd, &byte, 1);
    }
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

// Plays until the time is up, the user interrupts, or the stream ends by itself. Titles (Ogg
// chain links included) and the end come with the player's notifications, so the loop sleeps
// between them; a slow poll, as the window's song timer keeps, is the safety net.
constexpr int kSafetyPollMs = 1000;

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
        int wake[2] = {-1, -1};
        if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) == 0)
            gWakeFd = wake[1];
        const auto oldInt = std::signal(SIGINT, OnInterrupt);
        const auto oldTerm = std::signal(SIGTERM, OnInterrupt);

        player.PlayRadio(p.url, p.url, p.code);
        if (!player.IsConnected()) {
            status = 1;
        } else {
            QEventLoop loop;
            bool done = false;
            const auto finish = [&](const char* why) {
                if (done)
                    return;
                done = true;
                if (why)
                    std::fputs(why, stderr);
                else
                    player.StopRadio();
                loop.quit();
            };
            const auto check = [&] {
                if (gInterrupted)
                    finish(nullptr);
                else if (player.PlaybackState() != Player::State::Playing)
                    finish("wavelot-cli: the stream has ended\n");
            };
            std::optional<QSocketNotifier> interrupt;
            if (wake[0] >= 0) {
                interrupt.emplace(wake[0], QSocketNotifier::Read);
                QObject::connect(&*interrupt, &QSocketNotifier::activated, [&] {
                    // Read, or the notifier fires again at once through the stop's fade.
                    interrupt->setEnabled(false);
                    char bytes[16];
                    while (read(wake[0], bytes, sizeof bytes) > 0) {
                    }
                    finish(nullptr);
                });
            }
            QObject::connect(&player, &Player::currentStreamEnded, &loop, [&] { check(); });
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, [&] {
                check();
                if (!done)
                    player.UpdateSongTitle(player.StationCode());
            });
            poll.start(kSafetyPollMs);
            QTimer timeUp;
            timeUp.setSingleShot(true);
            timeUp.setTimerType(Qt::PreciseTimer);
            QObject::connect(&timeUp, &QTimer::timeout, [&] { finish(nullptr); });
            if (p.seconds)
                timeUp.start(int(std::min(*p.seconds * 1000.0, double(std::numeric_limits<int>::max()))));
            check();  // an interrupt or end during the connect
            if (!done)
                loop.exec();
        }
        std::signal(SIGINT, oldInt);
        std::signal(SIGTERM, oldTerm);
        gWakeFd = -1;
        for (int fd : wake)
            if (fd >= 0)
                close(fd);
    }
    ReleaseAudioEngine(audio);
    return status;
}

const CommandRegistration reg{"play", "play URL [--code N] [--seconds S] [--volume V]", &Run};

}  // namespace
}  // namespace wavelot::cli
