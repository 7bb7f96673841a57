#pragma once
// A program started by a test with an argument vector (no shell), optionally with its standard
// output read through a pipe. The destructor kills what is still running and reaps it.

#include <cstddef>
#include <string>
#include <vector>

namespace wavelot::test {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // argv[0] is looked up in PATH when it has no slash. env entries "NAME=value" are added to
    // (or replace those of) this process's environment. captureStdout: StdoutFd() gives the
    // read end; otherwise standard output and error go to /dev/null (or to logFile when set).
    bool Start(const std::vector<std::string>& argv, bool captureStdout = false,
               const std::vector<std::string>& env = {}, const std::string& logFile = {});
    int StdoutFd() const { return outFd_; }
    int Pid() const { return pid_; }
    bool Running();
    // SIGTERM, then SIGKILL after graceMs; returns the exit status (-1 when killed or unknown).
    int Stop(int graceMs = 2000);
    // Waits for a normal exit; false on time-out (the process keeps running).
    bool Wait(int timeoutMs, int* status = nullptr);

private:
    int pid_ = -1;
    int outFd_ = -1;
    int status_ = -1;
};

// True when the program can be found in PATH (or is an executable path).
bool ProgramAvailable(const std::string& name);
// A TCP port on 127.0.0.1 that was free a moment ago.
int FreeLoopbackPort();
// Waits until something accepts connections on 127.0.0.1:port.
bool WaitForPort(int port, int timeoutMs);
// Writes every byte to a socket, waiting while its buffer is full; false once the peer is gone
// (never raises SIGPIPE).
bool SendAll(int fd, const char* data, size_t size);
// A fresh directory under the system's temporary folder, removed by RemoveTree.
std::string MakeTempDir(const std::string& prefix);
void RemoveTree(const std::string& dir);

}  // namespace wavelot::test
