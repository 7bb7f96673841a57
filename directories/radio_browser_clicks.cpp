#include "directories/radio_browser_clicks.h"

#include <chrono>

#include "net/http_fetch.h"

namespace wavelot {

namespace {
constexpr size_t kMaxWaiting = 8;
}  // namespace

RadioBrowserClicks::~RadioBrowserClicks() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    if (worker_.joinable())
        worker_.join();
}

void RadioBrowserClicks::Send(const QString& url) {
    {
        std::lock_guard lock(mutex_);
        if (stop_ || queue_.size() >= kMaxWaiting)
            return;
        queue_.push_back(url);
        if (!worker_.joinable())
            worker_ = std::thread([this] { Work(); });
    }
    wake_.notify_one();
}

void RadioBrowserClicks::Work() {
    HttpLimits limits;
    limits.connectTimeLimit = std::chrono::seconds(5);
    limits.timeLimit = std::chrono::seconds(15);
    limits.maxBodyBytes = 64 * 1024;  // the answer is a short confirmation
    limits.cancel = &stop_;
    for (;;) {
        QString url;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (stop_)
                return;
            url = queue_.front();
            queue_.pop_front();
        }
        (void)HttpGet(url, limits);
    }
}

}  // namespace wavelot
