#include "ui/cls_sub.h"

#include <QEvent>
#include <algorithm>

namespace wavelot {

SubOwner::~SubOwner() {
    clsSub::Instance().HookClearAll(this);
}

clsSub& clsSub::Instance() {
    static clsSub instance;
    return instance;
}

bool clsSub::HookSet(SubOwner* owner, QObject* hWnd, quintptr dwRefData) {
    if (owner == nullptr)
        return false;
    QObject* target = hWnd != nullptr ? hWnd : owner->hWnd();
    if (target == nullptr)
        return false;
    for (Hook& h : hooks_) {
        if (h.owner == owner && h.target == target) {
            h.refData = dwRefData;
            return true;
        }
    }
    const bool firstOnTarget =
        std::none_of(hooks_.begin(), hooks_.end(), [target](const Hook& h) { return h.target == target; });
    hooks_.push_back({owner, target, dwRefData});
    if (firstOnTarget) {
        target->installEventFilter(this);
        // The hook goes away with the window, after the owners have seen its destruction.
        connect(target, &QObject::destroyed, this, [this, target] { ForgetTarget(target); });
    }
    return true;
}

bool clsSub::HookClear(SubOwner* owner, QObject* hWnd) {
    QObject* target = hWnd != nullptr ? hWnd : (owner != nullptr ? owner->hWnd() : nullptr);
    auto it = std::find_if(hooks_.begin(), hooks_.end(),
                           [&](const Hook& h) { return h.owner == owner && h.target == target; });
    if (it == hooks_.end())
        return false;
    hooks_.erase(it);
    if (std::none_of(hooks_.begin(), hooks_.end(), [target](const Hook& h) { return h.target == target; })) {
        target->removeEventFilter(this);
        disconnect(target, &QObject::destroyed, this, nullptr);
    }
    return true;
}

void clsSub::HookClearAll(SubOwner* owner) {
    std::vector<QObject*> targets;
    for (const Hook& h : hooks_)
        if (h.owner == owner)
            targets.push_back(h.target);
    for (QObject* t : targets)
        HookClear(owner, t);
}

bool clsSub::HookDefault(QObject* hWnd, QEvent* event) {
    return hWnd != nullptr && event != nullptr && hWnd->event(event);
}

void clsSub::ForgetTarget(QObject* target) {
    hooks_.erase(
        std::remove_if(hooks_.begin(), hooks_.end(), [target](const Hook& h) { return h.target == target; }),
        hooks_.end());
}

bool clsSub::eventFilter(QObject* watched, QEvent* event) {
    // Copy first: a handler may add or remove hooks while it runs.
    std::vector<Hook> current;
    for (const Hook& h : hooks_)
        if (h.target == watched)
            current.push_back(h);
    for (const Hook& h : current) {
        const bool stillHooked = std::any_of(hooks_.begin(), hooks_.end(), [&](const Hook& x) {
            return x.owner == h.owner && x.target == h.target;
        });
        if (!stillHooked)
            continue;
        bool handled = false;
        h.owner->WindowProc(handled, watched, event, h.refData);
        if (handled)
            return true;
    }
    return false;
}

}  // namespace wavelot
