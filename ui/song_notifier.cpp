#include "ui/song_notifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUrl>

#include "core/app_folders.h"
#include "engine/player.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {
constexpr int kServerDefaultTimeout = -1;
}

SongNotifier::SongNotifier(Player& player, QWidget& window, std::function<bool()> enabled, LogoLookup logoOf,
                           QDBusConnection bus, QObject* parent)
    : QObject(parent),
      player_(&player),
      window_(&window),
      enabled_(std::move(enabled)),
      logoOf_(std::move(logoOf)),
      bus_(std::move(bus)) {
    if (!bus_.isConnected())
        return;
    connect(&player, &Player::titleChanged, this, &SongNotifier::OnTitle);
    const QDBusMessage ask =
        QDBusMessage::createMethodCall(QString::fromUtf16(kService), QString::fromUtf16(kPath),
                                       QString::fromUtf16(kInterface), u"GetCapabilities"_s);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(ask), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<QStringList> reply = *w;
        bodyMarkup_ = reply.isValid() && reply.value().contains(u"body-markup"_s);
        w->deleteLater();
    });
}

void SongNotifier::OnTitle(const QString& title) {
    if (!window_ || !player_ || (window_->isVisible() && !window_->isMinimized()) || !enabled_())
        return;
    const QString logo = logoOf_(player_->StationUrl());
    const Note note{title, player_->DisplayName(),
                    logo.isEmpty() ? QString() : QUrl::fromLocalFile(logo).toString()};
    if (sending_)
        waiting_ = note;
    else
        Send(note);
}

void SongNotifier::Send(const Note& note) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromUtf16(kService), QString::fromUtf16(kPath), QString::fromUtf16(kInterface), u"Notify"_s);
    const QString entry = QString::fromUtf16(kDesktopEntryName);
    QVariantMap hints{{u"desktop-entry"_s, entry}, {u"transient"_s, true}};
    if (!note.image.isEmpty())
        hints.insert(u"image-path"_s, note.image);
    call << ProgramTitle() << lastId_ << entry << note.summary
         << (bodyMarkup_ ? note.body.toHtmlEscaped() : note.body) << QStringList() << hints
         << kServerDefaultTimeout;
    sending_ = true;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<uint> reply = *w;
        w->deleteLater();
        if (reply.isValid())
            lastId_ = reply.value();
        sending_ = false;
        if (waiting_) {
            const Note next = *waiting_;
            waiting_.reset();
            Send(next);
        }
    });
}

}  // namespace wavelot
