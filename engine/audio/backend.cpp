#include "engine/audio/backend.h"

#include <QMetaObject>

namespace wavelot::audio {

Backend::Backend() {
    reaper_ = std::thread([this] { ReaperLoop(); });
}

Backend::~Backend() {
    Shutdown();
    {
        std::lock_guard lock(reapMu_);
        reapStop_ = true;
    }
    reapCv_.notify_all();
    if (reaper_.joinable())
        reaper_.join();
    delete dispatcher;
}

Handle Backend::NewHandle() {
    return nextHandle++;
}

std::shared_ptr<Stream> Backend::Find(StreamHandle h) const {
    std::lock_guard lock(mu);
    auto it = streams.find(h);
    return it == streams.end() ? nullptr : it->second;
}

std::shared_ptr<Stream> Backend::FindFxOwner(FxHandle effect) const {
    std::lock_guard lock(mu);
    auto it = fx.find(effect);
    if (it == fx.end())
        return nullptr;
    auto st = streams.find(it->second);
    return st == streams.end() ? nullptr : st->second;
}

bool Backend::Release(StreamHandle h) {
    std::shared_ptr<Stream> s;
    {
        std::lock_guard lock(mu);
        auto it = streams.find(h);
        if (it == streams.end())
            return false;
        s = std::move(it->second);
        streams.erase(it);
        std::erase_if(syncs, [h](const auto& kv) { return kv.second.stream == h; });
        std::erase_if(fx, [h](const auto& kv) { return kv.second == h; });
        std::erase_if(encoders, [h](const auto& kv) { return kv.second == h; });
    }
    Reap(std::move(s));
    return true;
}

void Backend::Reap(std::shared_ptr<Stream> s) {
    s->RequestStop();
    {
        std::lock_guard lock(reapMu_);
        reapQueue_.push_back(std::move(s));
    }
    reapCv_.notify_all();
}

void Backend::ReaperLoop() {
    for (;;) {
        std::shared_ptr<Stream> s;
        {
            std::unique_lock lock(reapMu_);
            reapCv_.wait(lock, [&] { return reapStop_ || !reapQueue_.empty(); });
            if (reapQueue_.empty())
                return;
            s = std::move(reapQueue_.front());
            reapQueue_.pop_front();
            ++reaping_;
        }
        s->Join();
        s.reset();  // the last owner may be a caller still inside a call: it then frees it
        std::lock_guard lock(reapMu_);
        --reaping_;
        reapCv_.notify_all();
    }
}

void Backend::Post(StreamHandle h, quint32 kind, quint32 data) {
    QObject* target = dispatcher;
    if (!target)
        return;
    QMetaObject::invokeMethod(
        target, [this, h, kind, data] { Deliver(h, kind, data); }, Qt::QueuedConnection);
}

void Backend::PostEncoderNotify(std::shared_ptr<const EncodeNotifyProc> proc, EncoderHandle encoder,
                                quint32 kind) {
    QObject* target = dispatcher;
    if (!target || !proc)
        return;
    QMetaObject::invokeMethod(
        target, [proc = std::move(proc), encoder, kind] { (*proc)(encoder, kind); }, Qt::QueuedConnection);
}

void Backend::Deliver(StreamHandle h, quint32 kind, quint32 data) {
    std::vector<std::pair<SyncHandle, SyncProc>> calls;
    {
        std::lock_guard lock(mu);
        if (!streams.count(h))
            return;  // freed meanwhile
        for (auto it = syncs.begin(); it != syncs.end();) {
            if (it->second.stream == h && it->second.type == kind) {
                calls.emplace_back(it->first, it->second.proc);
                if (it->second.oneTime) {
                    it = syncs.erase(it);
                    continue;
                }
            }
            ++it;
        }
    }
    for (auto& [sync, proc] : calls) {
        {
            // An earlier callback of this round may have freed the stream or the sync.
            std::lock_guard lock(mu);
            if (!streams.count(h))
                return;
        }
        if (proc)
            proc(sync, h, data);
    }
}

void Backend::Shutdown() {
    std::vector<std::shared_ptr<Stream>> all;
    {
        std::lock_guard lock(mu);
        for (auto& [h, s] : streams)
            all.push_back(s);
        for (const auto& s : connecting)
            s->RequestStop();  // their StreamCreateURL returns 0 and reaps them
        streams.clear();
        syncs.clear();
        fx.clear();
        encoders.clear();
    }
    for (auto& s : all)
        Reap(std::move(s));
    std::unique_lock lock(reapMu_);
    reapCv_.wait(lock, [&] { return reapQueue_.empty() && reaping_ == 0; });
}

}  // namespace wavelot::audio
