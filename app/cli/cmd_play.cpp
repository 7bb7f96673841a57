// wavelot-cli play: plays one station the way the program does and prints the play log.
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdio>
#include <optional>

#include "app/cli/cli_session.h"
#include "app/cli/command_registry.h"
#include "core/app_folders.h"
#include "engine/player.h"
#include "engine/recorder.h"
#include "session/session.h"

namespace wavelot::cli {
namespace {

struct PlayArgs {
    QString url;
    int code = 0;
    std::optional<double> seconds;
    std::optional<int> volume;
    int saveLast = 0;  // seconds heard saved to a file at the end; 0: none
    std::optional<QString> dir;
    std::optional<int> quality;
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
        } else if (a == "--save-last" && hasValue) {
            out.saveLast = QString::fromStdString(args[++i]).toInt(&ok);
            ok = ok && out.saveLast > 0;
        } else if (a == "--dir" && hasValue) {
            out.dir = QString::fromStdString(args[++i]);
            ok = !out.dir->isEmpty();
        } else if (a == "--quality" && hasValue) {
            out.quality = QString::fromStdString(args[++i]).toInt(&ok);
        } else if (a == "--volume" && hasValue) {
            out.volume = QString::fromStdString(args[++i]).toInt(&ok);
        } else if (!a.starts_with("--") && !haveUrl) {
            out.url = QString::fromStdString(a);
            ok = haveUrl = true;
        }
        if (!ok)
            return std::nullopt;
    }
    // The last seconds are saved when the time is up, so that time must be given.
    if (!haveUrl || (out.saveLast > 0 && !out.seconds))
        return std::nullopt;
    return out;
}

// With --save-last the time is counted from the connect: when it is up, the last seconds heard
// are handed to their encoder while the stream still plays, and the run ends (saved).
void SaveLastWhenTimeIsUp(QTimer& timer, Recorder& recorder, int seconds, bool& saved) {
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&recorder, seconds, &saved] {
        if (recorder.SaveRecent(seconds).isEmpty())
            std::fputs("wavelot-cli: nothing to save\n", stderr);
        saved = true;
    });
}

// Plays until the time is up, an exit signal comes, or the stream ends by itself: the command
// plays what it was given and does not open a dropped stream again.
int Run(const CommandArgs& args) {
    const std::optional<PlayArgs> parsed = ParseArgs(args);
    if (!parsed)
        return UsageError("play");
    const PlayArgs& p = *parsed;

    InitAppFolders();
    Session session({.reconnect = false});
    if (!StartPrintingSession(session))
        return 1;
    Player& player = session.player();
    if (p.volume)
        player.SetVolume(*p.volume);
    SessionOptions& options = session.Options();
    options.recordingFolder = p.dir.value_or(options.recordingFolder);
    options.quality = p.quality.value_or(options.quality);
    bool saved = false;
    QTimer saveTimer;
    SaveLastWhenTimeIsUp(saveTimer, session.recorder(), p.saveLast, saved);
    const auto ended = [&] { return saved || player.PlaybackState() != Player::State::Playing; };
    const std::optional<double> seconds = p.saveLast > 0 ? std::nullopt : p.seconds;
    const Session::End end = session.PlayAndRun(p.url, p.code, seconds, ended, [&] {
        if (p.saveLast > 0)
            saveTimer.start(int(*p.seconds * 1000));
    });
    return ExitCode(end);
}

const CommandRegistration reg{
    "play",
    "play URL [--code N] [--seconds S] [--volume V] [--save-last SECONDS [--dir DIR] [--quality INDEX]]",
    &Run};

}  // namespace
}  // namespace wavelot::cli
