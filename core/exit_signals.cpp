#include "core/exit_signals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>

namespace wavelot {

namespace {
int g_fds[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void OnExitSignal(int sig) {
    const unsigned char b = static_cast<unsigned char>(sig);
    // Async-signal-safe; a full pipe only means a request is already pending.
    [[maybe_unused]] const ssize_t n = ::write(g_fds[0], &b, 1);
}
}  // namespace

ExitSignals::ExitSignals(QObject* parent) : QObject(parent) {
    if (g_fds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_fds) != 0)
        return;
    notifier_ = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        unsigned char b = 0;
        while (::read(g_fds[1], &b, 1) == 1)
            Q_EMIT ExitRequested(b);
    });
    struct sigaction sa {};
    sa.sa_handler = OnExitSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : kSignals)
        ::sigaction(s, &sa, nullptr);
}

ExitSignals::~ExitSignals() {
    if (notifier_ == nullptr)
        return;
    struct sigaction sa {};
    sa.sa_handler = SIG_DFL;
    sigemptyset(&sa.sa_mask);
    for (int s : kSignals)
        ::sigaction(s, &sa, nullptr);
    ::close(g_fds[0]);
    ::close(g_fds[1]);
    g_fds[0] = g_fds[1] = -1;
}

}  // namespace wavelot
