#include "ui/app_core.h"

#include "core/app_folders.h"
#include "core/list_files.h"
#include "engine/engine_setup.h"
#include "engine/player.h"
#include "scheduler/job_scheduler.h"

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
      search_(SettingFile(), SettingFolder() + QString::fromUtf16(kRadioFileName), lists_.searchList,
              lists_.rankingScratchList) {}

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
    scheduler_ = std::make_unique<JobScheduler>(lists_.jobList, *player_, SettingFile());
    return true;
}

void AppCore::ReleaseEngine() {
    if (!engineStarted_)
        return;
    engineStarted_ = false;
    scheduler_.reset();
    player_.reset();
    ReleaseAudioEngine(audio_);
}

void AppCore::LoadLists() {
    ReadListIni(FavoritesFile(), false, lists_.favoriteList);
    ReadListIni(JobsFile(), true, lists_.jobList);
}

void AppCore::SaveLists() const {
    WriteListIni(FavoritesFile(), lists_.favoriteList, false);
    WriteListIni(JobsFile(), lists_.jobList, true);
}

}  // namespace wavelot
