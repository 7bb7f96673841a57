#pragma once
// The player on the desktop's media controls: the MPRIS2 root and player interfaces on the
// session bus (org.mpris.MediaPlayer2.wavelot, object /org/mpris/MediaPlayer2), over the media
// session's view of the player. Methods run the main window's own commands, queued, so that a
// call is answered at once even when the command then waits for a connect; properties come
// from the session, and every change it signals goes out as PropertiesChanged.
//
// A second running program takes the name with an ".instance<pid>" suffix, as the protocol
// suggests for players that run more than once.

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <functional>

#include "engine/media_session.h"

namespace wavelot {

class clsSongArray;
class frmMain;

class MprisService : public QObject {
    Q_OBJECT

public:
    static constexpr char16_t kServiceName[] = u"org.mpris.MediaPlayer2.wavelot";
    static constexpr char16_t kObjectPath[] = u"/org/mpris/MediaPlayer2";
    static constexpr char16_t kRootInterface[] = u"org.mpris.MediaPlayer2";
    static constexpr char16_t kPlayerInterface[] = u"org.mpris.MediaPlayer2.Player";
    // Track ids are object paths of the program's own below this one.
    static constexpr char16_t kTrackPathPrefix[] = u"/org/wavelot/track/";

    // session, window and favorites must outlive the service.
    MprisService(MediaSession& session, frmMain& window, const clsSongArray& favorites, QDBusConnection bus,
                 QObject* parent = nullptr);
    ~MprisService() override;  // gives the name and the object back

    // False when the bus is not connected or refused both names.
    bool Registered() const { return !serviceName_.isEmpty(); }
    const QString& ServiceName() const { return serviceName_; }

    // What the interfaces show and do (the adaptors call these).
    QString PlaybackStatus() const;
    QVariantMap Metadata() const;
    double Volume() const;
    void SetVolume(double volume);
    void Raise();
    void Quit();
    void Play();
    void Stop();
    void PlayPause();
    // Holds the station behind live; one that keeps no sound is stopped instead.
    void Pause();
    void Step(int step);

private:
    void Changed(const QString& property, const QVariant& value);
    // Commands run from the event loop, after the call has been answered.
    void Later(std::function<void(frmMain&)> command);

    MediaSession& session_;
    QPointer<frmMain> window_;
    const clsSongArray& favorites_;
    QDBusConnection bus_;
    QObject* object_ = nullptr;  // the adaptors' parent, the one object on the bus
    QString serviceName_;
};

}  // namespace wavelot
