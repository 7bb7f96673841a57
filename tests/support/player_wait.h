#pragma once
// The player's operations end from the event loop; tests that want the outcome at once wait
// for it here.

#include <QEventLoop>
#include <QTimer>

#include "engine/player.h"

namespace wavelot::test {

// Dispatches events until the player has no connect, cross-fade or stop fade under way (at most
// timeoutMs); true when it got there.
inline bool WaitSettled(Player& player, int timeoutMs = 30000) {
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto settled = [&] {
        if (!player.Busy())
            loop.quit();
    };
    QObject::connect(&player, &Player::connectFinished, &loop, settled);
    QObject::connect(&player, &Player::stopFinished, &loop, settled);
    limit.start(timeoutMs);
    while (player.Busy() && limit.isActive())
        loop.exec();
    return !player.Busy();
}

// PlayRadio and StopRadio as they behaved when they returned only at their end.
inline void PlayAndWait(Player& player, const QString& url, const QString& name, int code) {
    player.PlayRadio(url, name, code);
    WaitSettled(player);
}

inline void StopAndWait(Player& player) {
    player.StopRadio();
    WaitSettled(player);
}

}  // namespace wavelot::test
