#pragma once
// Tells Radio-Browser that one of its stations is being played: the directory ranks stations
// by these clicks, and asks every client to report them.

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace wavelot {

class RadioBrowserClicks {
public:
    RadioBrowserClicks() = default;
    // Stops the request in flight and drops the ones waiting; returns within moments.
    ~RadioBrowserClicks();
    RadioBrowserClicks(const RadioBrowserClicks&) = delete;
    RadioBrowserClicks& operator=(const RadioBrowserClicks&) = delete;

    // Queues a GET of the address and returns at once. The requests go out one at a time on a
    // worker thread of this object's, started with the first one; their answers and failures
    // are not looked at. Past a few waiting requests new ones are dropped.
    void Send(const QString& url);

private:
    void Work();

    std::mutex mutex_;  // guards queue_ and the start of worker_
    std::condition_variable wake_;
    std::deque<QString> queue_;
    std::atomic<bool> stop_{false};  // read by the worker and by the fetch it runs
    std::thread worker_;
};

}  // namespace wavelot
