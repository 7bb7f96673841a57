#include "core/single_instance.h"

#include "core/path_utils.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLockFile>
#include <QSocketNotifier>
#include <QThread>

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace wavelot {

namespace {

constexpr char kReply[] = "ok\n";
constexpr int kRetryMs = 50;

struct SocketAddress {
    sockaddr_un addr{};
    socklen_t size = 0;
};

// An abstract name (leading NUL): the kernel drops it with the last socket, so a killed
// program leaves nothing behind. The user id keeps users apart; the folder's hash fits any path
// into the name's 107 bytes.
SocketAddress AddressOf(const QString& settingFolder) {
    QString folder = QFileInfo(settingFolder).canonicalFilePath();
    if (folder.isEmpty())
        folder = QDir::cleanPath(QDir(settingFolder).absolutePath());
    const QByteArray name =
        "wavelot/" + QByteArray::number(::getuid()) + '/' +
        QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha256).toHex().left(40);
    SocketAddress a;
    a.addr.sun_family = AF_UNIX;
    std::memcpy(a.addr.sun_path + 1, name.constData(), static_cast<size_t>(name.size()));
    a.size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<size_t>(name.size()));
    return a;
}

bool PeerIsSameUser(int fd) {
    ucred cred{};
    socklen_t size = sizeof cred;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) == 0 && cred.uid == ::getuid();
}

int NewSocket() {
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

// Connects to the holder and waits up to waitMs for its answer. False when nobody listens, the
// listener is another user, or the holder went away (its exit closes the connection).
bool AskToShow(const SocketAddress& a, int waitMs) {
    const int fd = NewSocket();
    if (fd < 0)
        return false;
    bool answered = false;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&a.addr), a.size) == 0 && PeerIsSameUser(fd)) {
        pollfd p{.fd = fd, .events = POLLIN, .revents = 0};
        char reply[sizeof kReply] = {};
        answered = ::poll(&p, 1, waitMs) == 1 && ::read(fd, reply, sizeof reply - 1) == sizeof reply - 1 &&
                   std::strcmp(reply, kReply) == 0;
    }
    ::close(fd);
    return answered;
}

std::unique_ptr<QLockFile> LockFor(const QString& settingFolder) {
    auto lock = std::make_unique<QLockFile>(WithBackslash(settingFolder) + QString::fromUtf16(kLockFileName));
    // The default declares a lock older than 30 s stale; where the file system has no flock()
    // to keep it, that would take a running program's lock.
    lock->setStaleLockTime(0);
    return lock;
}

}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() {
    delete notifier_;
    if (listenFd_ >= 0)
        ::close(listenFd_);
}

SingleInstance::Claim SingleInstance::ClaimFolder(const QString& settingFolder, int waitMs) {
    std::unique_ptr<QLockFile> lock = LockFor(settingFolder);
    const SocketAddress address = AddressOf(settingFolder);
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (lock->tryLock(0)) {
            lock_ = std::move(lock);
            Listen(settingFolder);
            return Claim::First;
        }
        // A folder that cannot hold a lock file cannot hold lists either: nothing to guard.
        if (lock->error() != QLockFile::LockFailedError)
            return Claim::First;
        if (AskToShow(address, std::max(0, waitMs - static_cast<int>(clock.elapsed()))))
            return Claim::HandedOver;
        if (clock.elapsed() >= waitMs)
            return Claim::NoAnswer;
        QThread::msleep(kRetryMs);
    }
}

bool SingleInstance::HeldElsewhere(const QString& settingFolder) {
    std::unique_ptr<QLockFile> lock = LockFor(settingFolder);
    if (lock->tryLock(0)) {
        lock->unlock();
        return false;
    }
    return lock->error() == QLockFile::LockFailedError;
}

void SingleInstance::Listen(const QString& settingFolder) {
    const SocketAddress a = AddressOf(settingFolder);
    const int fd = NewSocket();
    if (fd < 0)
        return;
    // A failure (the name taken by another user's process) only loses the hand-over; the lock
    // still keeps a second program off the files.
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&a.addr), a.size) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return;
    }
    listenFd_ = fd;
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SingleInstance::AcceptAll);
}

void SingleInstance::AcceptAll() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        const bool sameUser = PeerIsSameUser(fd);
        if (sameUser)
            ::send(fd, kReply, sizeof kReply - 1, MSG_NOSIGNAL);
        ::close(fd);
        if (sameUser)
            Q_EMIT ShowRequested();
    }
}

}  // namespace wavelot
