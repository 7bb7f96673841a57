#include "tests/support/child_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>

extern char** environ;

namespace wavelot::test {

ChildProcess::~ChildProcess() {
    Stop(500);
}

bool ChildProcess::Start(const std::vector<std::string>& argv, bool captureStdout,
                         const std::vector<std::string>& env, const std::string& logFile) {
    if (argv.empty() || pid_ > 0)
        return false;
    std::map<std::string, std::string> vars;
    for (char** e = environ; *e; ++e) {
        std::string s(*e);
        auto eq = s.find('=');
        vars[s.substr(0, eq)] = eq == std::string::npos ? std::string() : s.substr(eq + 1);
    }
    for (const std::string& s : env) {
        auto eq = s.find('=');
        vars[s.substr(0, eq)] = eq == std::string::npos ? std::string() : s.substr(eq + 1);
    }
    std::vector<std::string> envStrings;
    for (auto& [k, v] : vars)
        envStrings.push_back(k + "=" + v);
    std::vector<char*> cenv;
    for (auto& s : envStrings)
        cenv.push_back(s.data());
    cenv.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> cargv;
    for (auto& a : args)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);

    int fds[2] = {-1, -1};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    if (captureStdout) {
        if (pipe2(fds, O_CLOEXEC) != 0)
            return false;
        posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    } else if (!logFile.empty()) {
        posix_spawn_file_actions_addopen(&fa, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    } else {
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    }
    if (!logFile.empty())
        posix_spawn_file_actions_addopen(&fa, 2, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    else
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, cargv[0], &fa, nullptr, cargv.data(), cenv.data());
    posix_spawn_file_actions_destroy(&fa);
    if (captureStdout)
        close(fds[1]);
    if (rc != 0) {
        if (captureStdout)
            close(fds[0]);
        return false;
    }
    pid_ = pid;
    outFd_ = captureStdout ? fds[0] : -1;
    return true;
}

bool ChildProcess::Running() {
    if (pid_ <= 0)
        return false;
    int st = 0;
    pid_t r = waitpid(pid_, &st, WNOHANG);
    if (r == pid_) {
        status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        pid_ = -1;
        return false;
    }
    return true;
}

bool ChildProcess::Wait(int timeoutMs, int* status) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Running()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (status)
        *status = status_;
    return true;
}

int ChildProcess::Stop(int graceMs) {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        if (!Wait(graceMs)) {
            kill(pid_, SIGKILL);
            int st = 0;
            waitpid(pid_, &st, 0);
            pid_ = -1;
            status_ = -1;
        }
    }
    if (outFd_ >= 0) {
        close(outFd_);
        outFd_ = -1;
    }
    return status_;
}

bool ProgramAvailable(const std::string& name) {
    if (name.find('/') != std::string::npos)
        return access(name.c_str(), X_OK) == 0;
    const char* path = std::getenv("PATH");
    std::string p = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= p.size()) {
        size_t end = p.find(':', start);
        std::string dir = p.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0)
            return true;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

int FreeLoopbackPort() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        socklen_t len = sizeof a;
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    close(fd);
    return port;
}

bool WaitForPort(int port, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(uint16_t(port));
        bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        close(fd);
        if (ok)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string MakeTempDir(const std::string& prefix) {
    std::string tmpl = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        return {};
    return buf.data();
}

void RemoveTree(const std::string& dir) {
    std::error_code ec;
    if (!dir.empty())
        std::filesystem::remove_all(dir, ec);
}

bool SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        pollfd p{fd, POLLOUT, 0};
        const int ready = poll(&p, 1, 200);
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready <= 0)
            continue;
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

}  // namespace wavelot::test
