#include "session/session.h"

#include <QEventLoop>

#include <algorithm>
#include <limits>

#include "core/app_folders.h"
#include "core/atomic_file.h"
#include "core/exit_signals.h"
#include "engine/audio/station_loudness.h"
#include "engine/engine_setup.h"
#include "engine/player.h"
#include "engine/recorder.h"
#include "engine/stream_watchdog.h"
#include "scheduler/job_scheduler.h"

namespace wavelot {

namespace {
QString FavoritesFile() {
    return SettingFolder() + QString::fromUtf16(kFavoritesFileName);
}
QString JobsFile() {
    return SettingFolder() + QString::fromUtf16(kRunJobFileName);
}
QString LoudnessFile() {
    return SettingFolder() + QString::fromUtf16(audio::StationLoudness::kFileName);
}
}  // namespace

SessionOptions SessionOptions::FromSettings(const Settings& settings) {
    return {.recordingFolder = settings.FilePath(),
            .quality = settings.Quality(),
            .loopRecording = settings.LoopRec() == 1,
            .catchUpJobs = settings.CatchUpJobs(),
            .songNotify = settings.SongNotify(),
            .levelLoudness = settings.LevelLoudness()};
}

Session::Session(Config config, QObject* parent)
    : QObject(parent),
      config_(config),
      settings_(SettingFile()),
      options_(SessionOptions::FromSettings(settings_)),
      search_(SettingFile(), SettingFolder() + QString::fromUtf16(kRadioFileName), lists_.searchList,
              lists_.rankingScratchList) {
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &Session::OnPollTimer);
    finishTimeout_.setSingleShot(true);
    connect(&finishTimeout_, &QTimer::timeout, this, &Session::FinishShutdown);
}

Session::~Session() {
    if (shutDown_)
        FinishShutdown();  // the loop ended before the files were finished: the lists still count
    Release();
}

bool Session::Start() {
    if (started_)
        return true;
    if (shutDown_ || !InitAudioEngine(audio_))
        return false;
    started_ = true;
    audio::StationLoudness::Shared().Load(LoudnessFile());
    audio::StationLoudness::Shared().SetEnabled(options_.levelLoudness);
    player_ = std::make_unique<Player>(SettingFile(), audio_, lists_.playLogList);
    recorder_ = std::make_unique<Recorder>(*player_, audio_, recordOptions_, ProgramFolder(), RecordFolder());
    if (config_.reconnect)
        watchdog_ = std::make_unique<StreamWatchdog>(*player_, *recorder_, recordOptions_);
    scheduler_ = std::make_unique<JobScheduler>(lists_.jobList, *player_, *recorder_, SettingFile());
    connect(&lists_.changes, &ListChanges::Changed, scheduler_.get(), [s = scheduler_.get()](KeptList l) {
        if (l == KeptList::Jobs)
            s->JobsChanged();
    });
    // Every connect and every stop logs a line: the poll follows from there.
    connect(player_.get(), &Player::logLineAdded, this, &Session::FollowPlayback);
    connect(player_.get(), &Player::currentStreamEnded, this, &Session::CheckEnded);
    return true;
}

void Session::TakeExitSignals() {
    if (signals_)
        return;
    signals_ = std::make_unique<ExitSignals>();
    connect(signals_.get(), &ExitSignals::ExitRequested, this, [this](int signal) {
        exitSignalled_ = true;
        Q_EMIT exitRequested(signal);
        Finish(End::ExitSignal);
    });
}

void Session::LoadLists() {
    for (const QString& file : {FavoritesFile(), JobsFile(), SettingFile()})
        RemoveStaleTempFiles(file);
    autosave_.Load(KeptList::Favorites, FavoritesFile());
    autosave_.Load(KeptList::Jobs, JobsFile());
    listsLoaded_ = true;
}

void Session::StartJobs() {
    if (scheduler_ && !shutDown_)
        scheduler_->Start();  // it hears of job list changes through the lists
}

bool Session::Following() const {
    const Player::State state = player_->PlaybackState();
    return state == Player::State::Connecting || state == Player::State::Playing;
}

void Session::FollowPlayback() {
    if (!player_ || shutDown_)
        return;
    if (Following()) {
        if (!poll_.isActive())
            poll_.start();
    } else if (poll_.isActive()) {
        poll_.stop();
        PollOnce();  // the last poll: a drop is acted on whichever of poll and notification saw it first
    }
    CheckEnded();
}

void Session::OnPollTimer() {
    if (!player_ || !Following()) {
        FollowPlayback();
        return;
    }
    PollOnce();
    CheckEnded();
}

void Session::PollOnce() {
    if (!player_ || shutDown_)
        return;
    if (watchdog_)
        watchdog_->Tick();
    else
        player_->UpdateSongTitle(player_->StationCode());
    if (++pollsSinceLoudnessSave_ >= kSaveLoudnessPolls)
        SaveLoudness();
}

void Session::SaveLoudness() {
    pollsSinceLoudnessSave_ = 0;
    audio::StationLoudness::Shared().Save(LoudnessFile());
}

void Session::CheckEnded() {
    if (ended_ && player_ && ended_())
        Finish(End::Ended);
}

void Session::Finish(End why) {
    if (!leaveRun_ || end_)
        return;
    end_ = why;
    leaveRun_();
}

Session::End Session::Run(std::optional<double> seconds, std::function<bool()> ended) {
    QEventLoop loop;
    end_.reset();
    ended_ = std::move(ended);
    leaveRun_ = [&loop] { loop.quit(); };
    QTimer timeUp;
    timeUp.setSingleShot(true);
    timeUp.setTimerType(Qt::PreciseTimer);
    connect(&timeUp, &QTimer::timeout, this, [this] { Finish(End::TimeUp); });
    if (exitSignalled_)
        Finish(End::ExitSignal);
    CheckEnded();
    FollowPlayback();
    if (!end_) {
        if (seconds)
            timeUp.start(int(std::min(*seconds * 1000.0, double(std::numeric_limits<int>::max()))));
        loop.exec();
    }
    timeUp.stop();
    ended_ = {};
    leaveRun_ = {};
    const End why = end_.value_or(End::ExitSignal);
    connect(this, &Session::shutdownFinished, &loop, &QEventLoop::quit);
    Shutdown();
    if (!finished_)
        loop.exec();
    return why;
}

void Session::Shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    poll_.stop();
    if (!started_) {
        FinishShutdown();
        return;
    }
    scheduler_->Stop();
    player_->StopRadio();
    recorder_->EndRecording();  // a stream that dropped is not stopped by StopRadio
    if (recorder_->UnfinishedFiles() == 0) {
        FinishShutdown();
        return;
    }
    // The encoders end on threads of the library's own; each file is finished by its end
    // notification.
    connect(recorder_.get(), &Recorder::fileFinished, this, [this] {
        if (recorder_->UnfinishedFiles() == 0)
            FinishShutdown();
    });
    finishTimeout_.start(kFinishFilesMs);
}

void Session::FinishShutdown() {
    if (finished_)
        return;
    finished_ = true;
    finishTimeout_.stop();
    // Written after the autosave has stopped, so no later write of a list replaces these; a
    // list that did not change, or whose file may not be read, is not written.
    autosave_.Stop();
    autosave_.WriteNow(KeptList::Favorites);
    autosave_.WriteNow(KeptList::Jobs);
    Release();
    SaveLoudness();
    Q_EMIT shutdownFinished();
}

void Session::Release() {
    if (!started_)
        return;
    started_ = false;
    poll_.stop();
    scheduler_.reset();
    watchdog_.reset();
    recorder_.reset();
    player_.reset();
    ReleaseAudioEngine(audio_);
}

}  // namespace wavelot
