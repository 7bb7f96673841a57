#pragma once
// What the desktop's media controls (the sound applet, the lock screen, the media keys) see of
// the player, and which favourite their next and previous buttons start. The bus side only
// publishes this and forwards commands; what it shows is decided here, where tests drive it
// with a real player.
//
// The player tells of most changes with its signals; the session looks once the signals of one
// step are over (a connect sets the station, its details and its title in a row, which is one
// change to a listener). Whether its stream plays is a question of the audio library's state (a
// drop or a stall is not announced), so while anything is going on the session also looks twice
// a second, and not at all while the player is idle.
//
// Main thread only.

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

namespace wavelot {

class Player;
class clsSongArray;

// The logo file of the station at an address, or empty while it has none.
using LogoLookup = std::function<QString(const QString& stationUrl)>;

class MediaSession : public QObject {
    Q_OBJECT

public:
    enum class Status { Stopped, Playing, Paused };

    // What is playing, or played last: the song title split into artist and title at its first
    // " - " (without one the whole title is the title), the station as the album.
    struct Track {
        quint64 number = 0;  // 0 while nothing was played; a new number for every song and station
        QString title;
        QString artist;  // empty when the song title names none
        QString album;
        QString url;
        QString artUrl;  // file:// URL of the station's logo; empty while it has none
        bool operator==(const Track&) const = default;
    };

    static constexpr int kPollMs = 500;
    // How long after the player's last signal the session keeps looking, so that the start of
    // a stream, which follows its connect's log lines by up to a cross-fade, is seen at once.
    static constexpr int kSettleMs = 3000;

    // player and favorites must outlive the session, or the player may go first (the session then
    // reports nothing plays and keeps the last track).
    MediaSession(Player& player, const clsSongArray& favorites, QObject* parent = nullptr);

    Status PlaybackStatus() const { return status_; }
    const Track& CurrentTrack() const { return track_; }
    int Volume() const { return volume_; }

    // The index of the favourite `step` places after the station that plays (before it when step
    // is negative), wrapping round the list; when that station is not a favourite, the first
    // (step > 0) or the last (step < 0). -1 when there are no favourites.
    int FavoriteAfter(int step) const;

    // The station's logo, shown from the next look on; a logo that arrives later is seen once
    // RefreshLogo is called.
    void SetLogoLookup(LogoLookup lookup) { logoOf_ = std::move(lookup); }
    // A logo arrived for the station at that address.
    void RefreshLogo(const QString& stationUrl);

    // Looks at the player now and signals what changed.
    void Refresh();

Q_SIGNALS:
    void statusChanged(wavelot::MediaSession::Status status);
    void trackChanged(const wavelot::MediaSession::Track& track);
    void volumeChanged(int volume);

private:
    void OnPlayerEvent();

    QPointer<Player> player_;
    const clsSongArray& favorites_;
    LogoLookup logoOf_;
    Status status_ = Status::Stopped;
    Track track_;
    int volume_ = 0;
    quint64 lastNumber_ = 0;
    bool newSong_ = false;  // a title was logged since the last look
    QElapsedTimer sinceEvent_;
    QTimer poll_;
    QTimer soon_;  // the look after the current signals
};

// The playback status as the media-control protocol names it.
QString PlaybackStatusText(MediaSession::Status status);

// The favourite `step` places after the station (url, name) in favorites, as
// MediaSession::FavoriteAfter. The station is the first favourite with its address and name,
// else the first with its address.
int FavoriteAfter(const clsSongArray& favorites, const QString& url, const QString& name, int step);

}  // namespace wavelot
