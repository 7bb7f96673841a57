#include "ui/app_core.h"

#include "core/app_folders.h"
#include "core/atomic_file.h"
#include "engine/engine_setup.h"
#include "engine/player.h"
#include "engine/recorder.h"
#include "engine/stream_watchdog.h"
#include "scheduler/job_scheduler.h"
#include "ui/frm_option.h"

namespace wavelot {

namespace {
QString FavoritesFile() {
    return SettingFolder() + QString::fromUtf16(kFavoritesFileName);
}
QString JobsFile() {
    return SettingFolder() + QString::fromUtf16(kRunJobFileName);
}
}  // namespace

AppCore::AppCore()
    : settings_(SettingFile()),
      options_(std::make_unique<frmOption>(settings_)),
      search_(SettingFile(), SettingFolder() + QString::fromUtf16(kRadioFileName), lists_.searchList,
              lists_.rankingScratchList) {
    options_->Form_Load();
}

AppCore::~AppCore() {
    ReleaseEngine();
}

bool AppCore::StartEngine() {
    if (engineStarted_)
        return true;
    if (!InitAudioEngine(audio_))
        return false;
    engineStarted_ = true;
    player_ = std::make_unique<Player>(SettingFile(), audio_, lists_.playLogList);
    recorder_ = std::make_unique<Recorder>(*player_, audio_, *options_, ProgramFolder(), RecordFolder());
    player_->SetRecordStarter([r = recorder_.get()](const audio::EncodeFrom& from) { r->StartRecord(from); });
    watchdog_ = std::make_unique<StreamWatchdog>(*player_, *recorder_, *options_);
    scheduler_ = std::make_unique<JobScheduler>(lists_.jobList, *player_, SettingFile());
    QObject::connect(&lists_.changes, &ListChanges::Changed, scheduler_.get(),
                     [s = scheduler_.get()](KeptList l) {
                         if (l == KeptList::Jobs)
                             s->JobsChanged();
                     });
    return true;
}

void AppCore::ReleaseEngine() {
    if (!engineStarted_)
        return;
    engineStarted_ = false;
    scheduler_.reset();
    watchdog_.reset();
    player_->SetRecordStarter({});
    recorder_.reset();
    player_.reset();
    ReleaseAudioEngine(audio_);
}

void AppCore::LoadLists() {
    for (const QString& file : {FavoritesFile(), JobsFile(), SettingFile()})
        RemoveStaleTempFiles(file);
    autosave_.Load(KeptList::Favorites, FavoritesFile());
    autosave_.Load(KeptList::Jobs, JobsFile());
}

void AppCore::SaveLists() {
    autosave_.Stop();
    autosave_.WriteNow(KeptList::Favorites);
    autosave_.WriteNow(KeptList::Jobs);
}

}  // namespace wavelot
