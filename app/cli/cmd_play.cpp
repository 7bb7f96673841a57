// wavelot-cli play: plays one station the way the program does and prints the play log.
#include <QObject>
#include <QString>

#include <cstdio>
#include <optional>

#include "app/cli/command_registry.h"
#include "core/app_folders.h"
#include "engine/engine_setup.h"
#include "engine/player.h"
#include "session/session.h"

namespace wavelot::cli {
namespace {

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

// Plays until the time is up, an exit signal comes, or the stream ends by itself: the command
// plays what it was given and does not open a dropped stream again.
int Run(const CommandArgs& args) {
    const std::optional<PlayArgs> parsed = ParseArgs(args);
    if (!parsed)
        return UsageError("play");
    const PlayArgs& p = *parsed;

    InitAppFolders();
    Session session({.reconnect = false});
    if (!session.Start()) {
        std::fprintf(stderr, "%s\n", EngineSetupFailedMessage().toUtf8().constData());
        return 1;
    }
    session.TakeExitSignals();
    Player& player = session.player();
    QObject::connect(&player, &Player::logLineAdded, [](const QString& text, bool) { PrintLine(text); });
    if (p.volume)
        player.SetVolume(*p.volume);
    player.PlayRadio(p.url, p.url, p.code);
    if (!player.IsConnected())
        return 1;
    const auto ended = [&player] { return player.PlaybackState() != Player::State::Playing; };
    if (session.Run(p.seconds, ended) == Session::End::Ended)
        std::fputs("wavelot-cli: the stream has ended\n", stderr);
    return 0;
}

const CommandRegistration reg{"play", "play URL [--code N] [--seconds S] [--volume V]", &Run};

}  // namespace
}  // namespace wavelot::cli
