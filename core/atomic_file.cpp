#include "core/atomic_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace wavelot {

namespace {

mode_t CurrentUmask() {
    const mode_t m = umask(0);
    umask(m);
    return m;
}

constexpr char kTempInfix[] = ".tmp-";
constexpr int kTempRandomLength = 6;  // mkstemp's XXXXXX

// The target a symbolic link points to, so its temporary files lie beside the real file.
QString Resolved(const QString& target) {
    const QFileInfo info(target);
    return info.isSymLink() && info.exists() ? info.canonicalFilePath() : target;
}

// True while fd still names the file at path: a start-up of another instance may have removed
// the temporary file between mkstemp and flock.
bool StillNamed(int fd, const QByteArray& path) {
    struct stat a {
    }, b{};
    return ::fstat(fd, &a) == 0 && ::stat(path.constData(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

}  // namespace

AtomicFile::~AtomicFile() {
    Cancel();
}

bool AtomicFile::Open(const QString& target) {
    Cancel();
    if (target.isEmpty())
        return false;
    // Replace what a symbolic link points to, not the link.
    const QString resolved = Resolved(target);
    if (QFileInfo(resolved).isDir())
        return false;
    RemoveStaleTempFiles(resolved);

    targetPath_ = QFile::encodeName(resolved);
    for (int attempt = 0; attempt < 3 && fd_ < 0; ++attempt) {
        tempPath_ = targetPath_ + kTempInfix + QByteArray(kTempRandomLength, 'X');
        fd_ = mkstemp(tempPath_.data());
        if (fd_ < 0)
            break;
        ::fcntl(fd_, F_SETFD, FD_CLOEXEC);
        // Held until the file is renamed or removed: it tells other saves it is in use.
        if (::flock(fd_, LOCK_EX) != 0 || !StillNamed(fd_, tempPath_)) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    if (fd_ < 0) {
        tempPath_.clear();
        return false;
    }
    struct stat st {};
    const mode_t mode = ::stat(targetPath_.constData(), &st) == 0
                            ? (st.st_mode & 07777)
                            : static_cast<mode_t>(0666 & ~CurrentUmask());
    fchmod(fd_, mode);
    return true;
}

bool AtomicFile::Write(const QByteArray& bytes) {
    if (fd_ < 0)
        return false;
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            Cancel();
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

bool AtomicFile::Commit() {
    if (fd_ < 0)
        return false;
    const bool synced = ::fsync(fd_) == 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!synced || !closed || ::rename(tempPath_.constData(), targetPath_.constData()) != 0) {
        ::unlink(tempPath_.constData());
        tempPath_.clear();
        return false;
    }
    tempPath_.clear();
    // Make the rename itself durable.
    const qsizetype slash = targetPath_.lastIndexOf('/');
    const QByteArray dir = slash > 0 ? targetPath_.left(slash) : QByteArray(slash == 0 ? "/" : ".");
    const int dfd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

void AtomicFile::Cancel() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tempPath_.isEmpty()) {
        ::unlink(tempPath_.constData());
        tempPath_.clear();
    }
}

bool WriteFileAtomically(const QString& target, const QByteArray& bytes) {
    AtomicFile f;
    return f.Open(target) && f.Write(bytes) && f.Commit();
}

int RemoveStaleTempFiles(const QString& target) {
    const QFileInfo info(Resolved(target));
    const QString prefix = info.fileName() + QLatin1String(kTempInfix);
    const QDir dir = info.absoluteDir();
    int removed = 0;
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!name.startsWith(prefix) || name.size() != prefix.size() + kTempRandomLength)
            continue;
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        // A lock that cannot be had belongs to a save in progress.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && StillNamed(fd, path) && ::unlink(path.constData()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

}  // namespace wavelot
