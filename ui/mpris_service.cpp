#include "ui/mpris_service.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>

#include <algorithm>
#include <cmath>

#include "core/app_folders.h"
#include "core/song_array.h"
#include "ui/frm_main.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

const QString kPropertiesInterface = u"org.freedesktop.DBus.Properties"_s;

// org.mpris.MediaPlayer2: who the player is, and raising or ending it.
class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ True)
    Q_PROPERTY(bool CanRaise READ True)
    Q_PROPERTY(bool HasTrackList READ False)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ None)
    Q_PROPERTY(QStringList SupportedMimeTypes READ None)

public:
    MprisRootAdaptor(QObject* object, MprisService& service)
        : QDBusAbstractAdaptor(object), service_(service) {}
    bool True() const { return true; }
    bool False() const { return false; }
    QString Identity() const { return ProgramTitle(); }
    QString DesktopEntry() const { return QString::fromUtf16(kDesktopEntryName); }
    QStringList None() const { return {}; }

public Q_SLOTS:
    void Raise() { service_.Raise(); }
    void Quit() { service_.Quit(); }

private:
    MprisService& service_;
};

// org.mpris.MediaPlayer2.Player: a live stream, so no seeking, no position and one rate.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(double Rate READ One WRITE SetRate)
    Q_PROPERTY(double MinimumRate READ One)
    Q_PROPERTY(double MaximumRate READ One)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ True)
    Q_PROPERTY(bool CanGoPrevious READ True)
    Q_PROPERTY(bool CanPlay READ True)
    Q_PROPERTY(bool CanPause READ True)
    Q_PROPERTY(bool CanSeek READ False)
    Q_PROPERTY(bool CanControl READ True)

public:
    MprisPlayerAdaptor(QObject* object, MprisService& service)
        : QDBusAbstractAdaptor(object), service_(service) {}
    QString PlaybackStatus() const { return service_.PlaybackStatus(); }
    QVariantMap Metadata() const { return service_.Metadata(); }
    double Volume() const { return service_.Volume(); }
    void SetVolume(double v) { service_.SetVolume(v); }
    double One() const { return 1.0; }
    void SetRate(double) {}  // one rate only
    qlonglong Position() const { return 0; }
    bool True() const { return true; }
    bool False() const { return false; }

public Q_SLOTS:
    void Next() { service_.Step(1); }
    void Previous() { service_.Step(-1); }
    void Pause() { service_.Pause(); }
    void PlayPause() { service_.PlayPause(); }
    void Stop() { service_.Stop(); }
    void Play() { service_.Play(); }
    void Seek(qlonglong Offset) { Q_UNUSED(Offset) }
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
        Q_UNUSED(TrackId)
        Q_UNUSED(Position)
    }
    void OpenUri(const QString& Uri) { Q_UNUSED(Uri) }

Q_SIGNALS:
    void Seeked(qlonglong Position);

private:
    MprisService& service_;
};

}  // namespace

MprisService::MprisService(MediaSession& session, frmMain& window, const clsSongArray& favorites,
                           QDBusConnection bus, QObject* parent)
    : QObject(parent), session_(session), window_(&window), favorites_(favorites), bus_(std::move(bus)) {
    if (!bus_.isConnected())
        return;
    object_ = new QObject(this);
    new MprisRootAdaptor(object_, *this);
    new MprisPlayerAdaptor(object_, *this);
    if (!bus_.registerObject(QString::fromUtf16(kObjectPath), object_, QDBusConnection::ExportAdaptors))
        return;
    const QString name = QString::fromUtf16(kServiceName);
    for (const QString& candidate :
         {name, name + u".instance"_s + QString::number(QCoreApplication::applicationPid())}) {
        if (bus_.registerService(candidate)) {
            serviceName_ = candidate;
            break;
        }
    }
    if (serviceName_.isEmpty()) {
        bus_.unregisterObject(QString::fromUtf16(kObjectPath));
        return;
    }
    connect(&session_, &MediaSession::statusChanged, this,
            [this](MediaSession::Status s) { Changed(u"PlaybackStatus"_s, PlaybackStatusText(s)); });
    connect(&session_, &MediaSession::trackChanged, this, [this] { Changed(u"Metadata"_s, Metadata()); });
    connect(&session_, &MediaSession::volumeChanged, this, [this] { Changed(u"Volume"_s, Volume()); });
}

MprisService::~MprisService() {
    if (!Registered())
        return;
    bus_.unregisterService(serviceName_);
    bus_.unregisterObject(QString::fromUtf16(kObjectPath));
}

void MprisService::Changed(const QString& property, const QVariant& value) {
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromUtf16(kObjectPath), kPropertiesInterface,
                                                     u"PropertiesChanged"_s);
    signal << QString::fromUtf16(kPlayerInterface) << QVariantMap{{property, value}} << QStringList();
    bus_.send(signal);
}

QString MprisService::PlaybackStatus() const {
    return PlaybackStatusText(session_.PlaybackStatus());
}

QVariantMap MprisService::Metadata() const {
    const MediaSession::Track& t = session_.CurrentTrack();
    if (t.number == 0)
        return {};
    QVariantMap m{
        {u"mpris:trackid"_s, QVariant::fromValue(QDBusObjectPath(QString::fromUtf16(kTrackPathPrefix) +
                                                                 QString::number(t.number)))},
        {u"xesam:title"_s, t.title},
        {u"xesam:url"_s, t.url},
    };
    if (!t.artist.isEmpty())
        m.insert(u"xesam:artist"_s, QStringList{t.artist});
    if (!t.album.isEmpty())
        m.insert(u"xesam:album"_s, t.album);
    if (!t.artUrl.isEmpty())
        m.insert(u"mpris:artUrl"_s, t.artUrl);
    return m;
}

double MprisService::Volume() const {
    return session_.Volume() / 100.0;
}

void MprisService::SetVolume(double volume) {
    if (!window_ || std::isnan(volume))
        return;
    window_->SetSliderVolume(static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 100.0)));
}

void MprisService::Later(std::function<void(frmMain&)> command) {
    QMetaObject::invokeMethod(
        this,
        [this, command = std::move(command)] {
            if (window_)
                command(*window_);
        },
        Qt::QueuedConnection);
}

void MprisService::Raise() {
    Later([](frmMain& w) { w.ShowMainWindow(); });
}

void MprisService::Quit() {
    Later([](frmMain& w) { w.RunCommand(frmMain::kCmdExit); });
}

void MprisService::Play() {
    Later([](frmMain& w) {
        if (!w.ResumePlayback())
            w.RunCommand(frmMain::kCmdPlay);
    });
}

void MprisService::Pause() {
    Later([](frmMain& w) {
        if (!w.PausePlayback())
            w.RunCommand(frmMain::kCmdStop);
    });
}

void MprisService::Stop() {
    Later([](frmMain& w) { w.RunCommand(frmMain::kCmdStop); });
}

void MprisService::PlayPause() {
    Later([this](frmMain& w) {
        const MediaSession::Status status = session_.PlaybackStatus();
        if (status == MediaSession::Status::Playing && !w.PausePlayback())
            w.RunCommand(frmMain::kCmdStop);
        else if (status != MediaSession::Status::Playing && !w.ResumePlayback())
            w.RunCommand(frmMain::kCmdPlay);
    });
}

void MprisService::Step(int step) {
    Later([this, step](frmMain& w) {
        const int i = session_.FavoriteAfter(step);
        if (i >= 0)
            w.PlayRadio(favorites_.File(i), favorites_.Title(i), favorites_.Code(i));
    });
}

}  // namespace wavelot

#include "mpris_service.moc"
