#pragma once
// The program on the desktop's buses: the media controls (MPRIS2) and song notifications on the
// session bus, and the lock against sleep while recording on the system bus. The start-up
// creates it once the main window has loaded and the engine runs; a bus that is not there only
// leaves its parts out, and the program runs as before.

#include <QDBusConnection>

#include <memory>

namespace wavelot {

class Session;
class MediaSession;
class MprisService;
class RecordingActivity;
class SleepInhibitor;
class SongNotifier;
class frmMain;

class DesktopBus {
public:
    // core's engine must be started; core and window must outlive this.
    DesktopBus(wavelot::Session& core, frmMain& window, const QDBusConnection& session,
               const QDBusConnection& system);
    ~DesktopBus();
    DesktopBus(const DesktopBus&) = delete;
    DesktopBus& operator=(const DesktopBus&) = delete;

    // On the desktop's own session and system buses.
    static std::unique_ptr<DesktopBus> OnDesktop(wavelot::Session& core, frmMain& window);

    MediaSession& Session() { return *session_; }
    MprisService& Mpris() { return *mpris_; }
    SleepInhibitor& Inhibitor() { return *inhibitor_; }

private:
    std::unique_ptr<MediaSession> session_;
    std::unique_ptr<MprisService> mpris_;
    std::unique_ptr<SongNotifier> notifier_;
    std::unique_ptr<RecordingActivity> activity_;
    std::unique_ptr<SleepInhibitor> inhibitor_;
};

}  // namespace wavelot
