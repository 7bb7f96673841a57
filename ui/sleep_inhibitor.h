#pragma once
// Keeps the machine from suspending while a recording is being written: logind's Inhibit for
// "sleep" in "block" mode, taken when the recording activity begins and released (its file
// descriptor closed) when it ends. Without logind, or when it refuses, nothing changes.

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

namespace wavelot {

class RecordingActivity;

class SleepInhibitor : public QObject {
    Q_OBJECT

public:
    static constexpr char16_t kService[] = u"org.freedesktop.login1";
    static constexpr char16_t kPath[] = u"/org/freedesktop/login1";
    static constexpr char16_t kInterface[] = u"org.freedesktop.login1.Manager";

    // bus: the system bus, where logind lives.
    SleepInhibitor(RecordingActivity& activity, QDBusConnection bus, QObject* parent = nullptr);

    bool Held() const { return lock_.isValid(); }

Q_SIGNALS:
    void heldChanged(bool held);

private:
    void Want(bool on);

    QDBusConnection bus_;
    bool wanted_ = false;
    bool asking_ = false;  // an Inhibit call has not been answered yet
    QDBusUnixFileDescriptor lock_;
};

}  // namespace wavelot
