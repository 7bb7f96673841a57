#pragma once
// The composition root: what the program consists of besides its windows. The application's
// start-up creates one AppCore, starts its engine and hands it to the main window, which shows
// and drives these parts but creates none of them. Wiring only: what a part does lives in its
// own layer, where tests drive it without a window.

#include <memory>

#include "core/list_autosave.h"
#include "core/settings.h"
#include "core/station_lists.h"
#include "directories/directory_search.h"
#include "engine/audio/audio_library.h"

namespace wavelot {

class JobScheduler;
class Player;
class Recorder;
class StreamWatchdog;
class frmOption;

class AppCore {
public:
    // The application folders must be set (InitAppFolders) before. Loads the options dialog,
    // hidden: its controls hold the recording folder and quality from now on.
    AppCore();
    ~AppCore();  // releases the engine if ReleaseEngine did not run
    AppCore(const AppCore&) = delete;
    AppCore& operator=(const AppCore&) = delete;

    // The audio engine with the network options, and the player, the recorder, the stream
    // watchdog and the job scheduler (not yet running) on it. False when the engine cannot start:
    // the program cannot play anything and ends.
    bool StartEngine();
    // The scheduler, the watchdog, the recorder and the player first, then the plug-ins and the
    // engine.
    void ReleaseEngine();

    // Favorites.ini into the favourites and RunJob.ini into the jobs, appended, after removing
    // the temporary files killed saves left in the settings folder. From then on every
    // announced change of a list is written to its file a few seconds later.
    void LoadLists();
    // How the reading of a list's file went, and the copy of a damaged one (see KeptListFile).
    const KeptListFile& ListFile(KeptList which) const { return autosave_.File(which); }
    // Each file rewritten whole (the favourites without job fields) when its list changed since
    // it was read, after the autosave has stopped: no later write of it can replace these. A file
    // the program may not read is never written.
    void SaveLists();

    StationLists& Lists() { return lists_; }
    AudioLibrary& Audio() { return audio_; }
    Player& player() { return *player_; }  // after StartEngine, until ReleaseEngine
    bool HasPlayer() const { return player_ != nullptr; }
    Recorder& recorder() { return *recorder_; }        // as the player
    StreamWatchdog& Watchdog() { return *watchdog_; }  // as the player
    frmOption& Options() { return *options_; }
    JobScheduler* Scheduler() { return scheduler_.get(); }  // null before StartEngine, after ReleaseEngine
    DirectorySearch& Search() { return search_; }
    const Settings& settings() const { return settings_; }

private:
    Settings settings_;
    StationLists lists_;
    ListAutosave autosave_{lists_};
    AudioLibrary audio_;
    std::unique_ptr<frmOption> options_;
    std::unique_ptr<Player> player_;
    std::unique_ptr<Recorder> recorder_;
    std::unique_ptr<StreamWatchdog> watchdog_;
    std::unique_ptr<JobScheduler> scheduler_;
    DirectorySearch search_;
    bool engineStarted_ = false;
};

}  // namespace wavelot
