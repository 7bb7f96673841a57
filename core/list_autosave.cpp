#include "core/list_autosave.h"

#include <QCoreApplication>

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

ListFileRead ListAutosave::Load(KeptList which, const QString& path) {
    Entry& e = At(which);
    e.file = KeptListFile(path, which == KeptList::Jobs);
    return e.file.Load(lists_.Kept(which));
}

void ListAutosave::SetFile(KeptList which, const QString& path) {
    At(which).file = KeptListFile(path, which == KeptList::Jobs);
}

bool ListAutosave::WriteNow(KeptList which) {
    return At(which).file.Save(lists_.Kept(which));
}

void ListAutosave::Stop() {
    stopped_ = true;
    for (Entry& e : entries_) {
        e.timer.stop();
        e.firstChange.invalidate();
    }
    writer_.waitForDone();
    // The outcome of the last write, so WriteNow knows what the file holds.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

bool ListAutosave::Waiting(KeptList which) const {
    return At(which).timer.isActive();
}

void ListAutosave::OnChanged(KeptList which) {
    Entry& e = At(which);
    if (stopped_ || e.file.Path().isEmpty())
        return;
    if (!e.firstChange.isValid())
        e.firstChange.start();
    const qint64 left = kLatestMs - e.firstChange.elapsed();
    e.timer.start(static_cast<int>(std::clamp<qint64>(left, 0, kQuietMs)));
}

void ListAutosave::Write(KeptList which) {
    Entry& e = At(which);
    e.firstChange.invalidate();
    if (stopped_ || !e.file.MayWrite())
        return;
    const clsSongArray& list = lists_.Kept(which);
    std::vector<StationRow> rows;
    rows.reserve(static_cast<size_t>(list.ListCount()));
    for (int i = 0; i < list.ListCount(); ++i)
        rows.push_back(list.Row(i));
    writer_.start([this, which, path = e.file.Path(), onDisk = e.file.OnDisk(), rows = std::move(rows)] {
        const KeptListWrite done = WriteKeptList(path, rows, which == KeptList::Jobs, onDisk);
        // Posted to this object: dropped if it is gone by then (its destructor waits for this
        // task, so the event is at most queued).
        QMetaObject::invokeMethod(
            this,
            [this, which, done] {
                if (done.written)
                    At(which).file.Written(done.fingerprint);
                if (!done.ok && !stopped_ && !At(which).timer.isActive())
                    At(which).timer.start(kRetryMs);
                Q_EMIT Saved(which, done.ok);
            },
            Qt::QueuedConnection);
    });
}

}  // namespace wavelot
