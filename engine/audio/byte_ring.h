#pragma once
// The network buffer between the reader thread (writes) and the decoder thread (reads).
// All its state is guarded by its own mutex; any thread may call any member.

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

namespace wavelot::audio {

class ByteRing {
public:
    explicit ByteRing(size_t capacity);

    // All or nothing, never blocks: the reader pauses its transfer when this fails and
    // resumes once the decoder made room (see SetSpaceCallback).
    bool TryWrite(const char* data, size_t size);
    // Blocks until at least one byte is there, the writer ended, or Abort; returns the bytes
    // read, 0 at the end (or after Abort).
    size_t Read(char* out, size_t max);
    void SetEnd();
    void Abort();
    bool Aborted() const;
    size_t Size() const;
    size_t Capacity() const { return buf_.size(); }
    unsigned long long TotalWritten() const;  // bytes ever written
    bool EndedAndEmpty() const;
    // Called by Read (outside the lock) after it freed room while the writer waits for room.
    void SetSpaceCallback(std::function<void()> cb);
    void MarkWriterWaiting();

private:
    mutable std::mutex mu_;
    std::condition_variable cv_;
    std::vector<char> buf_;
    size_t head_ = 0;  // next byte to read
    size_t size_ = 0;
    unsigned long long total_ = 0;
    bool end_ = false;
    bool abort_ = false;
    bool writerWaiting_ = false;
    std::function<void()> onSpace_;
};

}  // namespace wavelot::audio
