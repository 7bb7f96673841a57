#include "session/session.h"

#include <QEventLoop>

#include <algorithm>
#include <limits>
#include <utility>

#include "core/app_folders.h"
#include "core/atomic_file.h"
#include "core/exit_signals.h"
#include "engine/audio/station_loudness.h"
#include "engine/background_recording.h"
#include "engine/engine_setup.h"
#include "engine/player.h"
#include "engine/recorder.h"
#include "engine/stream_watchdog.h"
#include "scheduler/job_scheduler.h"
#include "session/station_logo_follower.h"

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
            .levelLoudness = settings.LevelLoudness(),
            .recordFromSongStart = settings.RecordFromSongStart(),
            .timeShiftMinutes = settings.TimeShiftMinutes()};
}

Session::Session(Config config, QObject* parent)
    : QObject(parent),
      config_(config),
      settings_(SettingFile()),
      options_(SessionOptions::FromSettings(settings_)),
      search_(SettingFile(), SettingFolder() + QString::fromUtf16(kRadioFileName), lists_.searchList,
              lists_.rankingScratchList),
      logos_(CacheFolder() + QString::fromUtf16(u"logos/"), SettingFile()) {
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
    audio_.SetConfig(audio::CONFIG_TIME_SHIFT, quint32(options_.timeShiftMinutes));
    audio_.SetConfig(audio::CONFIG_NET_HLS_MAX_KBPS, quint32(settings_.HlsMaxKbps()));
    audio::StationLoudness::Shared().Load(LoudnessFile());
    audio::StationLoudness::Shared().SetEnabled(options_.levelLoudness);
    player_ = std::make_unique<Player>(SettingFile(), audio_, lists_.playLogList);
    recorder_ = std::make_unique<Recorder>(*player_, audio_, recordOptions_, ProgramFolder(), RecordFolder());
    if (config_.reconnect)
        watchdog_ = std::make_unique<StreamWatchdog>(*player_, *recorder_, recordOptions_);
    scheduler_ = std::make_unique<JobScheduler>(lists_.jobList, *player_, *recorder_, SettingFile());
    scheduler_->SetCatchUpOption([this] { return options_.catchUpJobs; });
    background_ = std::make_unique<BackgroundRecordings>(SettingFile(), audio_, player_->Log(),
                                                         recordOptions_, ProgramFolder(), RecordFolder());
    scheduler_->SetBackgroundRecordings(background_.get());
    const auto coverOf = [this](const QString& stationUrl) { return logos_.LogoFile(stationUrl); };
    recorder_->SetCoverLookup(coverOf);
    background_->SetCoverLookup(coverOf);
    connect(&lists_.changes, &ListChanges::Changed, scheduler_.get(), [s = scheduler_.get()](KeptList l) {
        if (l == KeptList::Jobs)
            s->JobsChanged();
    });
    logoFollower_ = std::make_unique<StationLogoFollower>(*player_, audio_, lists_, logos_);
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
    if (ended_ && player_ && !startClock_ && ended_())
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
    const int ms = seconds ? int(std::min(*seconds * 1000.0, double(std::numeric_limits<int>::max()))) : -1;
    const auto startClock = [&timeUp, ms] {
        if (ms >= 0)
            timeUp.start(ms);
    };
    if (awaitConnect_)
        startClock_ = startClock;
    CheckEnded();
    FollowPlayback();
    if (!end_) {
        if (!awaitConnect_)
            startClock();
        loop.exec();
    }
    timeUp.stop();
    awaitConnect_ = false;
    startClock_ = {};
    ended_ = {};
    leaveRun_ = {};
    const End why = end_.value_or(End::ExitSignal);
    connect(this, &Session::shutdownFinished, &loop, &QEventLoop::quit);
    Shutdown();
    if (!finished_)
        loop.exec();
    return why;
}

Session::End Session::PlayAndRun(const QString& url, int code, std::optional<double> seconds,
                                 std::function<bool()> ended, std::function<void()> connected) {
    if (!player_)
        return End::Failed;
    const QMetaObject::Connection done =
        connect(player_.get(), &Player::connectFinished, this, [this, connected] {
            if (!startClock_ || player_->Busy())
                return;
            const std::function<void()> startClock = std::exchange(startClock_, {});
            if (!player_->IsConnected()) {
                Finish(End::Failed);
                return;
            }
            if (connected)
                connected();
            startClock();
            CheckEnded();
        });
    awaitConnect_ = true;
    player_->PlayRadio(url, url, code);
    const End why = Run(seconds, std::move(ended));
    disconnect(done);
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
    background_->StopAll();
    if (!player_->IsPlaying()) {
        player_->StopRadio();  // nothing to fade: ends at once
        EndRecordings();
        return;
    }
    // The encoders end once the stream has faded out; queued, as the end may release the player.
    connect(player_.get(), &Player::stopFinished, this, &Session::EndRecordings,
            static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::SingleShotConnection));
    player_->StopRadio();
}

void Session::EndRecordings() {
    recorder_->EndRecording();  // a stream that dropped is not stopped by StopRadio
    // Background recordings too: their last files are tagged before the audio library goes.
    const auto unfinished = [this] { return recorder_->UnfinishedFiles() + background_->UnfinishedFiles(); };
    if (unfinished() == 0) {
        FinishShutdown();
        return;
    }
    // The encoders end on threads of the library's own; each file is finished by its end
    // notification.
    const auto finished = [this, unfinished] {
        if (unfinished() == 0)
            FinishShutdown();
    };
    connect(recorder_.get(), &Recorder::fileFinished, this, finished);
    connect(background_.get(), &BackgroundRecordings::fileFinished, this, finished);
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
    background_.reset();
    watchdog_.reset();
    recorder_.reset();
    logoFollower_.reset();
    player_.reset();
    ReleaseAudioEngine(audio_);
}

}  // namespace wavelot
