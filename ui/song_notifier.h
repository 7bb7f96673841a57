#pragma once
// A desktop notification for each new song title while the main window is hidden in the tray
// (or minimised where there is no tray): the song as the summary, the station as the body. Each
// one replaces the last instead of piling up. The options dialog switches it (Setting/SongNotify,
// read at each title). Calls never wait for the notification server; without one nothing shows.

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>

#include "core/settings.h"
#include "engine/media_session.h"

namespace wavelot {

class Player;

class SongNotifier : public QObject {
    Q_OBJECT

public:
    static constexpr char16_t kService[] = u"org.freedesktop.Notifications";
    static constexpr char16_t kPath[] = u"/org/freedesktop/Notifications";
    static constexpr char16_t kInterface[] = u"org.freedesktop.Notifications";

    SongNotifier(Player& player, QWidget& window, Settings settings, QDBusConnection bus,
                 QObject* parent = nullptr);

    // The station's logo, sent as the notification's image when there is one.
    void SetLogoLookup(LogoLookup lookup) { logoOf_ = std::move(lookup); }
    // Whether songs are to be notified, asked at each title (the session's options for this
    // run); without it, the settings file.
    void SetEnabledOption(std::function<bool()> enabled) { enabled_ = std::move(enabled); }

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
    const Settings settings_;
    QDBusConnection bus_;
    LogoLookup logoOf_;
    std::function<bool()> enabled_;
    bool bodyMarkup_ = false;      // the server reads the body as markup: escape it
    uint lastId_ = 0;              // the notification the next one replaces
    bool sending_ = false;         // a Notify call has not been answered yet
    std::optional<Note> waiting_;  // the newest title that came meanwhile
};

}  // namespace wavelot
