#include "ui/desktop_bus.h"

#include "directories/station_logos.h"
#include "engine/media_session.h"
#include "engine/player.h"
#include "engine/recording_activity.h"
#include "session/session.h"
#include "ui/frm_main.h"
#include "ui/mpris_service.h"
#include "ui/sleep_inhibitor.h"
#include "ui/song_notifier.h"

namespace wavelot {

namespace {
LogoLookup LogosOf(wavelot::Session& core) {
    return [&logos = core.Logos()](const QString& stationUrl) { return logos.LogoFile(stationUrl); };
}
}  // namespace

DesktopBus::DesktopBus(wavelot::Session& core, frmMain& window, const QDBusConnection& session,
                       const QDBusConnection& system)
    : session_(std::make_unique<MediaSession>(core.player(), core.Lists().favoriteList)),
      mpris_(std::make_unique<MprisService>(*session_, window, core.Lists().favoriteList, session)),
      notifier_(std::make_unique<SongNotifier>(
          core.player(), window, [&core] { return core.Options().songNotify; }, LogosOf(core), session)),
      activity_(std::make_unique<RecordingActivity>(core.recorder())),
      inhibitor_(std::make_unique<SleepInhibitor>(*activity_, system)) {
    session_->SetLogoLookup(LogosOf(core));
    QObject::connect(&core.Logos(), &StationLogos::logoReady, session_.get(), &MediaSession::RefreshLogo);
}

DesktopBus::~DesktopBus() = default;

std::unique_ptr<DesktopBus> DesktopBus::OnDesktop(wavelot::Session& core, frmMain& window) {
    return std::make_unique<DesktopBus>(core, window, QDBusConnection::sessionBus(),
                                        QDBusConnection::systemBus());
}

}  // namespace wavelot
