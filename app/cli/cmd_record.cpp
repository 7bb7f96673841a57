// wavelot-cli record: plays one station and records it the way the record command does, one MP3
// per song title, printing the play log.
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

struct RecordArgs {
    QString url;
    int code = 0;
    double seconds = 0;
    std::optional<QString> dir;
    std::optional<int> quality;
    bool loopRec = false;
    double recordAfter = 0;  // seconds after the first sound the record command comes
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
        } else if (a == "--record-after" && hasValue) {
            out.recordAfter = QString::fromStdString(args[++i]).toDouble(&ok);
            ok = ok && out.recordAfter >= 0;
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

// Records until the time is up or an exit signal comes. A dropped stream is opened again as in
// the window; the command ends early only when nothing is connected any more.
int Run(const CommandArgs& args) {
    const std::optional<RecordArgs> parsed = ParseArgs(args);
    if (!parsed)
        return UsageError("record");
    const RecordArgs& r = *parsed;

    InitAppFolders();
    Session session;
    if (!StartPrintingSession(session))
        return 1;
    // The options of the command line, else the program's stored ones.
    SessionOptions& options = session.Options();
    options.recordingFolder = r.dir.value_or(options.recordingFolder);
    options.quality = r.quality.value_or(options.quality);
    options.loopRecording = r.loopRec;
    Player& player = session.player();
    const auto idle = [&player] { return player.PlaybackState() == Player::State::Idle; };
    Recorder& recorder = session.recorder();
    QTimer recordAfter;
    recordAfter.setSingleShot(true);
    recordAfter.setTimerType(Qt::PreciseTimer);
    QObject::connect(&recordAfter, &QTimer::timeout, [&recorder] { recorder.ToggleRecording(); });
    const Session::End end = session.PlayAndRun(r.url, r.code, r.seconds, idle, [&] {
        if (r.recordAfter > 0)
            recordAfter.start(int(r.recordAfter * 1000));
        else
            recorder.ToggleRecording();
    });
    return ExitCode(end);
}

const CommandRegistration reg{
    "record",
    "record URL [--code N] --seconds S [--record-after T] [--dir DIR] [--quality INDEX] [--loop-rec]", &Run};

}  // namespace
}  // namespace wavelot::cli
