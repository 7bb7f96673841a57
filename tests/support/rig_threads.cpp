#include "tests/support/rig_threads.h"

#include <pthread.h>
#include <time.h>

#include <map>
#include <mutex>
#include <string>

namespace wavelot::test {

namespace {

struct Registry {
    std::mutex mu;
    int nextId = 0;
    std::map<int, clockid_t> running;
    double finishedSeconds = 0;
};

Registry& Threads() {
    static Registry* r = new Registry;  // rig threads may still end during static destruction
    return *r;
}

double ClockSeconds(clockid_t clock) {
    timespec ts{};
    if (clock_gettime(clock, &ts) != 0)
        return 0;
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

}  // namespace

RigThread::RigThread(const char* name) {
    const std::string full = std::string("rig-") + name;
    pthread_setname_np(pthread_self(), full.substr(0, 15).c_str());  // the kernel keeps 15 bytes
    clockid_t clock{};
    Registry& r = Threads();
    std::lock_guard lock(r.mu);
    id_ = r.nextId++;
    if (pthread_getcpuclockid(pthread_self(), &clock) == 0)
        r.running[id_] = clock;
}

RigThread::~RigThread() {
    Registry& r = Threads();
    std::lock_guard lock(r.mu);
    auto it = r.running.find(id_);
    if (it == r.running.end())
        return;
    r.finishedSeconds += ClockSeconds(it->second);
    r.running.erase(it);
}

double RigCpuSeconds() {
    Registry& r = Threads();
    std::lock_guard lock(r.mu);
    double total = r.finishedSeconds;
    for (const auto& [id, clock] : r.running)
        total += ClockSeconds(clock);
    return total;
}

double ProcessCpuSeconds() {
    return ClockSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

}  // namespace wavelot::test
