#pragma once
// The test servers' own threads (HTTP and ICY servers, the Icecast source feed, the monitor
// reader) run inside the test or benchmark process. A benchmark of the program's CPU leaves
// theirs out: each such thread holds a RigThread while it runs.
//
//   std::thread([this] { RigThread rig("icy"); Serve(); });
//   const double before = ProcessCpuSeconds() - RigCpuSeconds();

namespace wavelot::test {

class RigThread {
public:
    // Names the calling thread "rig-<name>" (for debuggers and top) and starts counting it.
    explicit RigThread(const char* name);
    // Adds what the thread ran to the total of finished rig threads.
    ~RigThread();
    RigThread(const RigThread&) = delete;
    RigThread& operator=(const RigThread&) = delete;

private:
    int id_;
};

// CPU seconds of every rig thread so far, running or finished.
double RigCpuSeconds();
// CPU seconds of the whole process so far.
double ProcessCpuSeconds();

}  // namespace wavelot::test
