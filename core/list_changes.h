#pragma once
// The one place that says "a kept list changed". The station lists do not notify by
// themselves, so whatever changes the favourites or the jobs (the list commands, the editor, a
// copy from the search results, an import) announces it here once it is done; the list views
// repaint and keep their row count in step, the scheduler plans again, and the autosave writes
// the file.

#include <QObject>

namespace wavelot {

// The two lists the program keeps in files.
enum class KeptList { Favorites, Jobs };

class ListChanges : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Call after the change, with the list in its new state: receivers read it at once.
    void Announce(KeptList which) { Q_EMIT Changed(which); }

Q_SIGNALS:
    void Changed(wavelot::KeptList which);
};

}  // namespace wavelot
