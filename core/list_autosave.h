#pragma once
// Reads the kept list files at start and writes them a short while after each change of their
// list, so a crash, a kill or a power cut loses nothing the user did; the exit writes them once
// more (WriteNow). What may be written, and when a write is needed, is KeptListFile's: a list
// that did not change is not written, nor a file the program may not read.
//
// A change waits kQuietMs for the next one (a drag changes the list at every mouse move), but
// never longer than kLatestMs after the first change not yet written. The records are copied on
// the main thread when the wait ends and written on a thread of the autosave's own (a list of
// 20,000 jobs takes a fifth of a second to write), one file after the other in the order taken,
// each replaced atomically. A failed write is tried again kRetryMs later.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <array>

#include "core/kept_list_file.h"
#include "core/list_changes.h"

namespace wavelot {

struct StationLists;

class ListAutosave : public QObject {
    Q_OBJECT
public:
    static constexpr int kQuietMs = 1000;
    static constexpr int kLatestMs = 3000;
    static constexpr int kRetryMs = 10000;

    // Hears lists.changes from now on; lists must outlive the autosave.
    explicit ListAutosave(StationLists& lists, QObject* parent = nullptr);
    ~ListAutosave() override;  // waits for a write in progress

    // Reads the file a list is kept in into that list (empty before) and keeps it as the list's
    // file; a list without a file is not written.
    ListFileRead Load(KeptList which, const QString& path);
    // The same without reading: the file is written at the first change.
    void SetFile(KeptList which, const QString& path);
    const KeptListFile& File(KeptList which) const { return At(which).file; }
    // Drops the waiting writes and waits for the one in progress: afterwards the caller owns the
    // files (the exit writes them itself) and changes are no longer written.
    void Stop();
    bool Waiting(KeptList which) const;
    // Writes the list on the calling thread, when it may and must be (after Stop, at the exit).
    bool WriteNow(KeptList which);

Q_SIGNALS:
    // A write ended (on the main thread).
    void Saved(wavelot::KeptList which, bool ok);

private:
    struct Entry {
        KeptListFile file;
        QTimer timer;
        QElapsedTimer firstChange;  // valid while a change waits
    };
    void OnChanged(KeptList which);
    void Write(KeptList which);
    Entry& At(KeptList which) { return entries_[which == KeptList::Favorites ? 0 : 1]; }
    const Entry& At(KeptList which) const { return entries_[which == KeptList::Favorites ? 0 : 1]; }

    StationLists& lists_;
    std::array<Entry, 2> entries_;
    QThreadPool writer_;  // one thread, so writes of a file land in the order they were taken
    bool stopped_ = false;
};

}  // namespace wavelot
