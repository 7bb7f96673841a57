#pragma once
// Message hooks on Qt objects. The windows observe their controls' events through one shared
// event filter, so a wrapper can watch a host it does not own without subclassing its class.

#include <QObject>
#include <QPointer>
#include <vector>

class QEvent;

namespace wavelot {

// Implemented by whoever wants to see another object's events. Setting bHandled consumes the
// event (no further processing); leaving it false lets the object handle it normally.
class SubOwner {
public:
    virtual ~SubOwner();
    virtual void WindowProc(bool& bHandled, QObject* hWnd, QEvent* event, quintptr dwRefData) = 0;
    // The object hooked when HookSet is given no window.
    virtual QObject* hWnd() const { return nullptr; }
};

class clsSub : public QObject {
    Q_OBJECT
public:
    // One instance serves the program; created on first use.
    static clsSub& Instance();

    // From now on every event of hWnd (nullptr: the owner's own hWnd()) is offered to
    // owner->WindowProc first. One hook per owner and window: a second HookSet for the same
    // pair only updates dwRefData. Returns false when there is no window to hook.
    bool HookSet(SubOwner* owner, QObject* hWnd = nullptr, quintptr dwRefData = 0);
    // Removes the hook; returns whether it existed.
    bool HookClear(SubOwner* owner, QObject* hWnd = nullptr);
    // Removes every hook of an owner (owners call this from their destructor).
    void HookClearAll(SubOwner* owner);
    // Gives the event to the object's own handler, skipping every filter.
    static bool HookDefault(QObject* hWnd, QEvent* event);

    int HookCount() const { return static_cast<int>(hooks_.size()); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Hook {
        SubOwner* owner;
        QObject* target;
        quintptr refData;
    };
    void ForgetTarget(QObject* target);
    std::vector<Hook> hooks_;
};

}  // namespace wavelot
