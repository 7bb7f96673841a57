#pragma once
// The favourites list (tab 2) and the job list (tab 3): one StationListView each, over the
// list it shows. It draws the rows, plays a row on a double click, selects on press, reorders
// by dragging, imports dropped files, and carries out its keys, its context menu, and
// the export and import of the list; its row count follows the lists' announcements, so a row
// added by the editor or a copy from the search results shows at once.
//
// The main window gives it what belongs to the window: the current tab, the commands the menu
// issues, playing a station and the shared drag state.

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

#include "core/list_changes.h"
#include "ui/list_view.h"
#include "ui/station_list_ops.h"

namespace wavelot {

struct StationLists;

class StationListView : public QObject {
    Q_OBJECT
public:
    struct Host {
        std::function<int()> currentTab;
        std::function<void(int command)> runCommand;
        std::function<void(const QString& url, const QString& name, int code)> playRadio;
        std::function<bool()> dragging;
        std::function<void(bool)> setDragging;
        DragRows* drag = nullptr;
        std::function<void(const QString& text)> showNotice;  // a line in the status bar
    };

    StationListView(StationLists& lists, KeptList which, Host host, QObject* parent = nullptr);
    ~StationListView() override;

    // The view in panel, filling it, with its rows for the records already in the list.
    void Create(QWidget* panel, bool largeFonts);
    clsListView& View() { return view_; }
    StationListOps& Ops() { return *ops_; }
    KeptList Which() const { return which_; }

    // The context menu at the mouse, by what the view has (rows, a selection).
    void ShowMenu();
    // A key released in the view (a Qt::Key).
    void KeyCommand(int key);
    // Export to and import from a file the user chooses; import of files given by name (a drop).
    void ExportList();
    void ImportList();
    void ImportFiles(const QStringList& files);
    // Grows or shrinks the rows to the list's records and repaints them. Runs on every
    // announcement of the list; the window's load calls it after reading the files.
    void FollowList();

private:
    QVariant RowRole(int row, int role) const;
    void FollowPointer();
    void DeleteSelected();
    void CopyToOtherList();
    PointerRow Pointer(int y) const;
    QWidget* Owner() const;
    bool Ask(const QString& question) const;
    void Tell(const QString& message) const;

    StationLists& lists_;
    const KeptList which_;
    clsSongArray& list_;
    Host host_;
    bool largeFonts_ = false;
    clsListView view_;
    std::unique_ptr<StationListOps> ops_;
};

}  // namespace wavelot
