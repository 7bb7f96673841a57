#pragma once
// Asks for the logo of each station the player connects to: the address the favourites or the
// last search keep for it, else the one the stream's own header names (icy-logo). The fetch
// runs in the background (StationLogos); the connect never waits for it.
//
// Main thread only.

#include <QObject>
#include <QPointer>
#include <QString>

#include "engine/audio/audio_library.h"

namespace wavelot {

class Player;
class StationLogos;
class StreamEngine;
struct StationLists;

class StationLogoFollower : public QObject {
    Q_OBJECT

public:
    // All four must outlive the follower, or the player may go first.
    StationLogoFollower(Player& player, StreamEngine& audio, const StationLists& lists, StationLogos& logos,
                        QObject* parent = nullptr);

    // The logo address for the station at url: a favourite's, else a search row's; empty when
    // neither list has one.
    static QString ListedLogo(const StationLists& lists, const QString& url);

private:
    void OnPlayerLine();

    QPointer<Player> player_;
    StreamEngine& audio_;
    const StationLists& lists_;
    StationLogos& logos_;
    audio::StreamHandle asked_ = 0;  // the stream whose station's logo was last asked for
};

}  // namespace wavelot
