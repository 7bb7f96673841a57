#include "core/atomic_file.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
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

}  // namespace

AtomicFile::~AtomicFile() {
    Cancel();
}

bool AtomicFile::Open(const QString& target) {
    Cancel();
    if (target.isEmpty())
        return false;
    // Replace what a symbolic link points to, not the link.
    QString resolved = target;
    const QFileInfo info(target);
    if (info.isSymLink() && info.exists())
        resolved = info.canonicalFilePath();
    if (QFileInfo(resolved).isDir())
        return false;

    targetPath_ = QFile::encodeName(resolved);
    tempPath_ = targetPath_ + ".tmp-XXXXXX";
    fd_ = mkstemp(tempPath_.data());
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

}  // namespace wavelot
