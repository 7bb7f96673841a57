#pragma once
// A desktop notification for each new song title while the main window is hidden in the tray
// (or minimised where there is no tray): the song as the summary, the station as the body. Each
// one replaces the last instead of piling up. The options dialog switches it (Setting/SongNotify,
// for the run in the session's options, asked at each title). Calls never wait for the
// notification server; without one nothing shows.

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

#include <functional>

#include "engine/media_session.h"

namespace wavelot {

class Player;

class SongNotifier : public QObject {
    Q_OBJECT

public:
    static constexpr char16_t kService[] = u"org.freedesktop.Notifications";
    static constexpr char16_t kPath[] = u"/org/freedesktop/Notifications";
    static constexpr char16_t kInterface[] = u"org.freedesktop.Notifications";

    // enabled: whether songs are to be notified; logoOf: the station's logo, sent as the
    // notification's image when there is one.
    SongNotifier(Player& player, QWidget& window, std::function<bool()> enabled, LogoLookup logoOf,
                 QDBusConnection bus, QObject* parent = nullptr);

private:
    struct Note {
        QString summary;
        QString body;
        QString image;  // file:// URL, or empty
    };
    void OnTitle(const QString& title);
    void Send(const Note& note);

    QPointer<Player> player_;
    QPointer<QWidget> window_;
    std::function<bool()> enabled_;
    LogoLookup logoOf_;
    QDBusConnection bus_;
    bool bodyMarkup_ = false;      // the server reads the body as markup: escape it
    uint lastId_ = 0;              // the notification the next one replaces
    bool sending_ = false;         // a Notify call has not been answered yet
    std::optional<Note> waiting_;  // the newest title that came meanwhile
};

}  // namespace wavelot
