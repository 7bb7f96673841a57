#include "engine/media_session.h"

#include <QUrl>

#include "core/song_array.h"
#include "engine/player.h"
#include "engine/record_files.h"

using namespace Qt::StringLiterals;

namespace wavelot {

QString PlaybackStatusText(MediaSession::Status status) {
    switch (status) {
    case MediaSession::Status::Playing: return u"Playing"_s;
    case MediaSession::Status::Paused: return u"Paused"_s;
    default: return u"Stopped"_s;
    }
}

MediaSession::MediaSession(Player& player, const clsSongArray& favorites, QObject* parent)
    : QObject(parent), player_(&player), favorites_(favorites) {
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &MediaSession::Refresh);
    soon_.setSingleShot(true);
    soon_.setInterval(0);
    connect(&soon_, &QTimer::timeout, this, &MediaSession::Refresh);
    connect(&player, &Player::titleChanged, this, [this] {
        newSong_ = true;
        OnPlayerEvent();
    });
    connect(&player, &Player::iconTipChanged, this, &MediaSession::OnPlayerEvent);
    connect(&player, &Player::currentStreamEnded, this, &MediaSession::OnPlayerEvent);
    connect(&player, &Player::logLineAdded, this, &MediaSession::OnPlayerEvent);
    connect(&player, &Player::volumeChanged, this, &MediaSession::OnPlayerEvent);
    connect(&player, &Player::pauseChanged, this, &MediaSession::OnPlayerEvent);
    connect(&player, &QObject::destroyed, this, &MediaSession::Refresh, Qt::QueuedConnection);
    volume_ = player.Volume();
    Refresh();
}

void MediaSession::OnPlayerEvent() {
    sinceEvent_.start();
    soon_.start();
}

void MediaSession::Refresh() {
    Player* p = player_.data();
    const Status status = !p || !p->IsPlaying() ? Status::Stopped
                          : p->IsPaused()       ? Status::Paused
                                                : Status::Playing;

    Track track = track_;
    if (p && !p->StationUrl().isEmpty()) {
        const SongTags tags = SplitSongTitle(p->SongTitle());
        track.title = tags.title;
        track.artist = tags.artist;
        track.album = p->DisplayName();
        track.url = p->StationUrl();
        track.number = track_.number;
        track.artUrl = track_.artUrl;
        // The same song heard again after another one is a new track, although it looks the same.
        if (newSong_ || !(track == track_))
            track.number = ++lastNumber_;
        // A logo is the same track shown better, not a new one.
        const QString logo = logoOf_ ? logoOf_(track.url) : QString();
        track.artUrl = logo.isEmpty() ? QString() : QUrl::fromLocalFile(logo).toString();
    }
    newSong_ = false;
    const int volume = p ? p->Volume() : volume_;

    const bool trackChanged = !(track == track_);
    const bool statusChanged = status != status_;
    const bool volumeChanged = volume != volume_;
    track_ = track;
    status_ = status;
    volume_ = volume;
    if (trackChanged)
        Q_EMIT this->trackChanged(track_);
    if (statusChanged)
        Q_EMIT this->statusChanged(status_);
    if (volumeChanged)
        Q_EMIT this->volumeChanged(volume_);

    const bool busy = p && (status_ == Status::Playing || p->PlaybackState() != Player::State::Idle ||
                            (sinceEvent_.isValid() && sinceEvent_.elapsed() < kSettleMs));
    if (busy && !poll_.isActive())
        poll_.start();
    else if (!busy)
        poll_.stop();
}

void MediaSession::RefreshLogo(const QString& stationUrl) {
    if (player_ && player_->StationUrl() == stationUrl)
        soon_.start();
}

int MediaSession::FavoriteAfter(int step) const {
    const Player* p = player_.data();
    return wavelot::FavoriteAfter(favorites_, p ? p->StationUrl() : QString(),
                                  p ? p->StationName() : QString(), step);
}

int FavoriteAfter(const clsSongArray& favorites, const QString& url, const QString& name, int step) {
    const int count = favorites.ListCount();
    if (count == 0 || step == 0)
        return -1;
    int current = -1;
    for (int i = 0; i < count && !url.isEmpty(); ++i) {
        if (favorites.File(i) != url)
            continue;
        if (current < 0)
            current = i;
        if (favorites.Title(i) == name) {
            current = i;
            break;
        }
    }
    if (current < 0)
        return step > 0 ? 0 : count - 1;
    return ((current + step) % count + count) % count;
}

}  // namespace wavelot
