#include "core/list_autosave.h"

#include <algorithm>
#include <vector>

#include "core/list_files.h"
#include "core/station_lists.h"

namespace wavelot {

ListAutosave::ListAutosave(StationLists& lists, QObject* parent) : QObject(parent), lists_(lists) {
    writer_.setMaxThreadCount(1);
    for (KeptList which : {KeptList::Favorites, KeptList::Jobs}) {
        Entry& e = At(which);
        e.timer.setSingleShot(true);
        connect(&e.timer, &QTimer::timeout, this, [this, which] { Write(which); });
    }
    connect(&lists_.changes, &ListChanges::Changed, this, &ListAutosave::OnChanged);
}

ListAutosave::~ListAutosave() {
    Stop();
}

void ListAutosave::SetFile(KeptList which, const QString& path) {
    At(which).path = path;
}

void ListAutosave::Stop() {
    stopped_ = true;
    for (Entry& e : entries_) {
        e.timer.stop();
        e.firstChange.invalidate();
    }
    writer_.waitForDone();
}

bool ListAutosave::Waiting(KeptList which) const {
    return At(which).timer.isActive();
}

void ListAutosave::OnChanged(KeptList which) {
    Entry& e = At(which);
    if (stopped_ || e.path.isEmpty())
        return;
    if (!e.firstChange.isValid())
        e.firstChange.start();
    const qint64 left = kLatestMs - e.firstChange.elapsed();
    e.timer.start(static_cast<int>(std::clamp<qint64>(left, 0, kQuietMs)));
}

void ListAutosave::Write(KeptList which) {
    Entry& e = At(which);
    e.firstChange.invalidate();
    if (stopped_)
        return;
    const clsSongArray& list = lists_.Kept(which);
    std::vector<StationRow> rows;
    rows.reserve(static_cast<size_t>(list.ListCount()));
    for (int i = 0; i < list.ListCount(); ++i)
        rows.push_back(list.Row(i));
    writer_.start([this, which, path = e.path, rows = std::move(rows)] {
        const bool ok = WriteListIni(path, rows, which == KeptList::Jobs);
        // Posted to this object: dropped if it is gone by then (its destructor waits for this
        // task, so the event is at most queued).
        QMetaObject::invokeMethod(
            this,
            [this, which, ok] {
                if (!ok && !stopped_ && !At(which).timer.isActive())
                    At(which).timer.start(kRetryMs);
                Q_EMIT Saved(which, ok);
            },
            Qt::QueuedConnection);
    });
}

}  // namespace wavelot
