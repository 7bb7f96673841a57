#pragma once
// One running program per settings folder. Two programs on one folder would each write the
// lists and Setting.ini over the other's changes and run the same scheduled jobs twice.
//
// The folder is held with a lock file in it (".wavelot.lock"; QLockFile, so the lock of a killed
// program is found stale by its process id, never by its age). The holder also listens on a
// local socket named after the user and the folder's canonical path (Linux's abstract socket
// names: nothing on disk to go stale). A later start finds the lock held, connects, and the
// holder shows its window; both ends check that the other runs as the same user, so no other
// user can call up or impersonate the program.

#include <QObject>
#include <QString>

#include <memory>

class QLockFile;
class QSocketNotifier;

namespace wavelot {

inline constexpr char16_t kLockFileName[] = u".wavelot.lock";

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        First,       // this process holds the folder (or it cannot be locked at all: read-only)
        HandedOver,  // the program that holds it answered and shows its window
        NoAnswer,    // it is held, but its holder did not answer within the wait
    };

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;  // releases the folder

    // Takes settingFolder for this process, or asks its holder to show itself. While the holder
    // is starting or ending (the lock held, nobody answering yet) this tries again until waitMs
    // has passed, so a start during another's exit takes the folder once it is free. Writes
    // nothing when the folder is held.
    Claim ClaimFolder(const QString& settingFolder, int waitMs = 5000);
    bool Holds() const { return lock_ != nullptr; }

    // True while another process holds settingFolder.
    static bool HeldElsewhere(const QString& settingFolder);

Q_SIGNALS:
    // A later start asked for the window (emitted on the main thread, once per start).
    void ShowRequested();

private:
    void Listen(const QString& settingFolder);
    void AcceptAll();

    std::unique_ptr<QLockFile> lock_;
    int listenFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace wavelot
