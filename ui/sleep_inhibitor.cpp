#include "ui/sleep_inhibitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "core/app_folders.h"
#include "engine/recording_activity.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {
const QString kWhy = u"正在錄音"_s;
}

SleepInhibitor::SleepInhibitor(RecordingActivity& activity, QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
    connect(&activity, &RecordingActivity::activeChanged, this, &SleepInhibitor::Want);
    Want(activity.Active());
}

void SleepInhibitor::Want(bool on) {
    wanted_ = on;
    if (!on) {
        if (Held()) {
            lock_ = QDBusUnixFileDescriptor();  // closing our copy ends the lock
            Q_EMIT heldChanged(false);
        }
        return;
    }
    if (Held() || asking_ || !bus_.isConnected())
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromUtf16(kService), QString::fromUtf16(kPath),
                                       QString::fromUtf16(kInterface), u"Inhibit"_s);
    call << u"sleep"_s << ProgramTitle() << kWhy << u"block"_s;
    asking_ = true;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        asking_ = false;
        const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
        // A recording that ended while logind answered lets the lock go with the reply, whose
        // copy of the descriptor closes when the watcher is deleted.
        if (reply.isValid() && reply.value().isValid() && wanted_) {
            lock_ = reply.value();
            Q_EMIT heldChanged(true);
        }
        w->deleteLater();
    });
}

}  // namespace wavelot
