#pragma once
// One run of the program, the window's and wavelot-cli's alike: the settings, the five station
// lists and the autosave of the kept ones, the directory search, the audio library with its
// network options and on it the player, the recorder, the stream watchdog and the job scheduler.
// The session builds and wires them once, follows a playing stream with one poll, holds the
// recording options of the run, takes the exit signals and ends everything in one order. What a
// part does lives in its own layer; a window or a command only drives the parts.
//
// Main thread only; nothing here waits inside an event loop but Run, the command line's loop.

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

#include "core/list_autosave.h"
#include "core/settings.h"
#include "core/station_lists.h"
#include "directories/directory_search.h"
#include "directories/station_logos.h"
#include "engine/audio/audio_library.h"
#include "engine/record_options.h"

namespace wavelot {

class BackgroundRecordings;
class ExitSignals;
class JobScheduler;
class Player;
class Recorder;
class StreamWatchdog;
class StationLogoFollower;

// What the user chose for recording and the jobs, for this run. Read from the settings when the
// session begins; the options dialog changes the folder and quality as the user edits them (an
// edit closed without applying counts for the run) and the switches when they are applied.
struct SessionOptions {
    QString recordingFolder;  // as typed or chosen: may be empty or relative
    int quality = 0;          // index of settings::kQualityTexts; anything else when none is chosen
    bool loopRecording = false;
    bool catchUpJobs = false;
    bool songNotify = true;
    bool levelLoudness = false;
    bool recordFromSongStart = true;
    int timeShiftMinutes = 30;  // of each station's sound kept; 0: none

    static SessionOptions FromSettings(const Settings& settings);
};

class Session : public QObject {
    Q_OBJECT
public:
    // The poll of a stream being connected or played: titles whose tags change without a
    // notification, and a drop the end notification did not report. Titles and ends come with
    // the engine's notifications, so this is only the safety net.
    static constexpr int kPollMs = 1000;
    // How long the shutdown waits for the encoders to finish the files being written.
    static constexpr int kFinishFilesMs = 5000;

    struct Config {
        // A dropped stream is opened again (the watchdog). Without it a drop only ends the stream.
        bool reconnect = true;
    };
    // Why Run ended.
    enum class End { ExitSignal, TimeUp, Ended, Failed };

    // The application folders must be set (InitAppFolders) before.
    explicit Session(Config config, QObject* parent = nullptr);
    Session() : Session(Config{}) {}
    ~Session() override;  // releases what the shutdown did not
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The audio library with the network options and the parts on it (the scheduler not yet
    // running). False when the library cannot start: nothing can play then.
    bool Start();
    // SIGTERM, SIGINT and SIGHUP from now on: exitRequested, and the end of a running Run.
    void TakeExitSignals();
    // Favorites.ini into the favourites and RunJob.ini into the jobs, after removing what killed
    // saves left in the settings folder; from then on each change of a list is written shortly.
    void LoadLists();
    // How reading a list's file went, and the copy of a damaged one (see KeptListFile).
    const KeptListFile& ListFile(KeptList which) const { return autosave_.File(which); }
    // The job scheduler starts evaluating the job list (Start first).
    void StartJobs();
    // The player's state may have changed: the poll runs while a stream is being connected or
    // played, and polls once more when that ends. The session calls it on every play-log line;
    // a window calls it too as it redraws.
    void FollowPlayback();

    // The one shutdown order: the scheduler, the poll, the stream, the encoders; once the files
    // being written are finished (kFinishFilesMs at most) the kept lists are written when they
    // changed, the parts and the audio library released, and shutdownFinished emitted (at once
    // when nothing is being written). Runs once.
    void Shutdown();
    bool ShutDown() const { return shutDown_; }

    // wavelot-cli's loop: runs until an exit signal (also one that came before), `seconds` (none:
    // no limit) or `ended` holding (asked at each poll and at the stream's end), then runs the
    // shutdown and returns when it has finished.
    End Run(std::optional<double> seconds, std::function<bool()> ended = {});
    // Run with a station: plays it (named by its address) and, once its connect and cross-fade
    // are over, calls `connected` and only then counts the seconds and asks `ended`. Failed when
    // the station did not connect (the shutdown has run all the same).
    End PlayAndRun(const QString& url, int code, std::optional<double> seconds, std::function<bool()> ended,
                   std::function<void()> connected = {});

    StationLists& Lists() { return lists_; }
    AudioLibrary& Audio() { return audio_; }
    const Settings& settings() const { return settings_; }
    SessionOptions& Options() { return options_; }
    DirectorySearch& Search() { return search_; }
    QTimer& Poll() { return poll_; }
    // After Start, until the shutdown has finished.
    bool HasPlayer() const { return player_ != nullptr; }
    Player& player() { return *player_; }
    Recorder& recorder() { return *recorder_; }
    JobScheduler* Scheduler() { return scheduler_.get(); }  // null outside Start..shutdown
    // The logos of the stations played, kept in the per-user cache.
    StationLogos& Logos() { return logos_; }

Q_SIGNALS:
    void exitRequested(int signal);
    void shutdownFinished();

private:
    // The recorder and the watchdog read the run's options through this.
    class LiveRecordOptions final : public RecordOptions {
    public:
        explicit LiveRecordOptions(const SessionOptions& options) : options_(options) {}
        QString RecordingFolder() const override { return options_.recordingFolder; }
        int QualityIndex() const override { return options_.quality; }
        bool LoopRecording() const override { return options_.loopRecording; }
        bool RecordFromSongStart() const override { return options_.recordFromSongStart; }

    private:
        const SessionOptions& options_;
    };

    bool Following() const;
    void PollOnce();
    void OnPollTimer();
    void CheckEnded();
    void Finish(End why);
    void EndRecordings();  // the shutdown's steps once the stream has stopped
    void FinishShutdown();
    void Release();
    // The per-station loudness gains, written when they changed (at most every kSaveLoudnessPolls
    // polls while playing, and at the end).
    void SaveLoudness();
    static constexpr int kSaveLoudnessPolls = 60;
    int pollsSinceLoudnessSave_ = 0;

    const Config config_;
    Settings settings_;
    SessionOptions options_;
    LiveRecordOptions recordOptions_{options_};
    StationLists lists_;
    ListAutosave autosave_{lists_};
    DirectorySearch search_;
    AudioLibrary audio_;
    StationLogos logos_;
    std::unique_ptr<Player> player_;
    std::unique_ptr<StationLogoFollower> logoFollower_;
    std::unique_ptr<Recorder> recorder_;
    std::unique_ptr<StreamWatchdog> watchdog_;
    std::unique_ptr<JobScheduler> scheduler_;
    std::unique_ptr<BackgroundRecordings> background_;  // the record-only jobs'
    std::unique_ptr<ExitSignals> signals_;
    QTimer poll_;
    QTimer finishTimeout_;
    bool started_ = false;
    bool listsLoaded_ = false;
    bool shutDown_ = false;
    bool finished_ = false;
    bool exitSignalled_ = false;
    // While Run runs: its end condition, the loop to leave and why it ended.
    std::function<bool()> ended_;
    std::function<void()> leaveRun_;
    std::optional<End> end_;
    // PlayAndRun: Run's clock waits for the connect (startClock_ holds its start meanwhile).
    bool awaitConnect_ = false;
    std::function<void()> startClock_;
};

}  // namespace wavelot
