#include "engine/audio/byte_ring.h"

#include <algorithm>
#include <cstring>

namespace wavelot::audio {

ByteRing::ByteRing(size_t capacity) : buf_(std::max<size_t>(capacity, 65536)) {}

bool ByteRing::TryWrite(const char* data, size_t size) {
    {
        std::lock_guard lock(mu_);
        if (abort_ || end_ || buf_.size() - size_ < size)
            return false;
        size_t tail = (head_ + size_) % buf_.size();
        size_t first = std::min(size, buf_.size() - tail);
        std::memcpy(buf_.data() + tail, data, first);
        std::memcpy(buf_.data(), data + first, size - first);
        size_ += size;
        total_ += size;
    }
    cv_.notify_all();
    return true;
}

size_t ByteRing::Read(char* out, size_t max) {
    std::function<void()> wake;
    size_t n = 0;
    {
        std::unique_lock lock(mu_);
        cv_.wait(lock, [&] { return abort_ || end_ || size_ > 0; });
        if (abort_)
            return 0;
        n = std::min(max, size_);
        size_t first = std::min(n, buf_.size() - head_);
        std::memcpy(out, buf_.data() + head_, first);
        std::memcpy(out + first, buf_.data(), n - first);
        head_ = (head_ + n) % buf_.size();
        size_ -= n;
        if (writerWaiting_ && n > 0) {
            writerWaiting_ = false;
            wake = onSpace_;
        }
    }
    if (wake)
        wake();
    return n;
}

void ByteRing::SetEnd() {
    {
        std::lock_guard lock(mu_);
        end_ = true;
    }
    cv_.notify_all();
}

void ByteRing::Abort() {
    {
        std::lock_guard lock(mu_);
        abort_ = true;
    }
    cv_.notify_all();
}

bool ByteRing::Aborted() const {
    std::lock_guard lock(mu_);
    return abort_;
}

size_t ByteRing::Size() const {
    std::lock_guard lock(mu_);
    return size_;
}

unsigned long long ByteRing::TotalWritten() const {
    std::lock_guard lock(mu_);
    return total_;
}

bool ByteRing::EndedAndEmpty() const {
    std::lock_guard lock(mu_);
    return (end_ && size_ == 0) || abort_;
}

void ByteRing::SetSpaceCallback(std::function<void()> cb) {
    std::lock_guard lock(mu_);
    onSpace_ = std::move(cb);
}

void ByteRing::MarkWriterWaiting() {
    std::lock_guard lock(mu_);
    writerWaiting_ = true;
}

}  // namespace wavelot::audio
