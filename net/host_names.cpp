#include "net/host_names.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <netdb.h>
#include <sys/socket.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace wavelot {
namespace {

// Shared by the waiting caller and the lookup thread, which may outlive the caller.
struct Lookup {
    std::mutex mutex;  // guards everything below
    std::condition_variable finished;
    bool done = false;
    QStringList names;
    QEventLoop* loop = nullptr;  // set only while the caller waits in it
};

// Blocking; runs on the lookup thread and touches nothing shared.
QStringList NamesOf(const QByteArray& host) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.constData(), nullptr, &hints, &found) != 0)
        return {};
    QStringList names;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        char name[NI_MAXHOST];
        if (getnameinfo(a->ai_addr, a->ai_addrlen, name, sizeof name, nullptr, 0, NI_NAMEREQD) != 0)
            continue;
        const QString text = QString::fromLatin1(name).toLower();
        if (!names.contains(text))
            names << text;
    }
    freeaddrinfo(found);
    return names;
}

}  // namespace

QStringList ResolveHostNames(const QString& host, std::chrono::milliseconds timeLimit) {
    const QByteArray name = host.toUtf8();
    if (name.isEmpty() || name.contains('\0'))
        return {};
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, name] {
        QStringList names = NamesOf(name);
        std::lock_guard lock(lookup->mutex);
        lookup->names = std::move(names);
        lookup->done = true;
        lookup->finished.notify_all();
        if (lookup->loop) {
            // Posted while the caller still sits in the loop: the pointer is valid here.
            QMetaObject::invokeMethod(
                lookup->loop, [loop = lookup->loop] { loop->quit(); }, Qt::QueuedConnection);
        }
    }).detach();

    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        std::unique_lock lock(lookup->mutex);
        lookup->finished.wait_for(lock, timeLimit, [&] { return lookup->done; });
        return lookup->done ? lookup->names : QStringList();
    }

    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    {
        std::lock_guard lock(lookup->mutex);
        if (lookup->done)
            return lookup->names;
        lookup->loop = &loop;
    }
    limit.start(timeLimit);
    // Returns on the lookup's quit, the time limit, or at once when the application quits.
    for (;;) {
        const int rc = loop.exec();
        std::lock_guard lock(lookup->mutex);
        if (lookup->done || !limit.isActive() || rc != 0) {
            lookup->loop = nullptr;
            return lookup->done ? lookup->names : QStringList();
        }
    }
}

}  // namespace wavelot
