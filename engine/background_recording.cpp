#include "engine/background_recording.h"

#include <QTimer>

#include "core/song_array.h"
#include "engine/play_log.h"
#include "engine/player.h"
#include "engine/recorder.h"
#include "engine/stream_watchdog.h"

using namespace Qt::StringLiterals;

namespace wavelot {

// One station: a player of its own on the silent output, its recorder and its reconnect, whose
// log lines go to the program's log under the station's name.
class BackgroundRecordings::One {
public:
    One(const BackgroundRecordings& owner, const QString& name)
        : player(owner.settingFile_, owner.audio_, lines),
          recorder(player, owner.audio_, owner.options_, owner.programFolder_, owner.defaultFolder_),
          watchdog(player, recorder, owner.options_) {
        player.SetBackground();
        recorder.SetCoverLookup(owner.coverOf_);
        player.SetFadeTimes(0, 0);
        PlayLog* const log = &owner.log_;
        QObject::connect(&player, &Player::logLineAdded, log, [log, name](const QString& text, bool scroll) {
            if (!text.isEmpty())
                log->Add(u"〔"_s + name + u"〕"_s + text, scroll);
        });
        QObject::connect(&tick, &QTimer::timeout, &watchdog, &StreamWatchdog::Tick);
        tick.start(1000);
    }

    void Dispose() {
        QTimer::singleShot(0, [this] { delete this; });
    }

    clsSongArray lines;
    Player player;
    Recorder recorder;
    StreamWatchdog watchdog;
    QTimer tick;
};

BackgroundRecordings::BackgroundRecordings(QString settingFile, StreamEngine& audio, PlayLog& log,
                                           const RecordOptions& options, QString programFolder,
                                           QString defaultFolder, QObject* parent)
    : QObject(parent),
      settingFile_(std::move(settingFile)),
      audio_(audio),
      log_(log),
      options_(options),
      programFolder_(std::move(programFolder)),
      defaultFolder_(std::move(defaultFolder)) {}

BackgroundRecordings::~BackgroundRecordings() {
    StopAll();
}

void BackgroundRecordings::Start(const QString& key, const QString& url, const QString& name, int code) {
    if (running_.count(key))
        return;
    auto one = std::make_unique<One>(*this, name);
    Player& player = one->player;
    Recorder& recorder = one->recorder;
    connect(&recorder, &Recorder::fileFinished, this, &BackgroundRecordings::OnFileFinished);
    // The first connect records once it is over; a failed one has said why in the log already.
    connect(
        &player, &Player::connectFinished, &recorder,
        [&player, &recorder](bool connected) {
            if (connected && player.IsConnected())
                recorder.StartRecording();
        },
        Qt::SingleShotConnection);
    running_[key] = std::move(one);
    player.PlayRadio(url, name, code);
}

void BackgroundRecordings::Stop(const QString& key) {
    const auto it = running_.find(key);
    if (it == running_.end())
        return;
    std::unique_ptr<One> one = std::move(it->second);
    running_.erase(it);
    // The encoder's end finishes and tags the last file whether or not the recorder is still there.
    one->recorder.EndRecording();
    one->player.StopRadio();
    if (one->recorder.UnfinishedFiles() > 0)
        stopping_.push_back(std::move(one));
}

int BackgroundRecordings::UnfinishedFiles() const {
    int files = 0;
    for (const auto& [key, one] : running_)
        files += one->recorder.UnfinishedFiles();
    for (const auto& one : stopping_)
        files += one->recorder.UnfinishedFiles();
    return files;
}

void BackgroundRecordings::OnFileFinished(const QString& file) {
    // A stopped recording goes once its last file is done, after the notification that told it.
    for (auto& one : stopping_) {
        if (one && one->recorder.UnfinishedFiles() == 0)
            one.release()->Dispose();
    }
    std::erase(stopping_, nullptr);
    Q_EMIT fileFinished(file);
}

void BackgroundRecordings::StopAll() {
    while (!running_.empty())
        Stop(running_.begin()->first);
}

}  // namespace wavelot
