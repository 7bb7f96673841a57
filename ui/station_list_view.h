#pragma once
// The favourites list (tab 2) and the job list (tab 3): one StationListView each, over the
// list it shows. It draws the rows, plays a row on a double click, selects on press, reorders
// by dragging, imports dropped files, and carries out its keys, its context menu, and
// the export and import of the list; its row count follows the lists' announcements, so a row
// added by the editor or a copy from the search results shows at once.
//
// The main window gives it what belongs to the window: the current tab, the commands the menu
// issues, playing a station and the shared drag state.

#include <QSet>
#include <QStringList>
#include <functional>

#include "core/list_changes.h"
#include "ui/list_view.h"
#include "ui/station_list_ops.h"

namespace wavelot {

struct StationLists;

class StationListView : public ListView {
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

    // The view in panel, with its rows for the records already in the list.
    StationListView(StationLists& lists, KeptList which, Host host, bool largeFonts, QWidget* panel);

    StationListOps& Ops() { return ops_; }
    KeptList Which() const { return which_; }
    // While a drag runs the keys do nothing.
    bool KeysBlocked() const { return keysBlocked_; }

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
    void FollowList() { Rows().Follow(); }

protected:
    // A key acts on its release, and only when its press came to this list: the Enter that closes
    // a message box over the list is pressed in the box.
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    // A press selects by the list's own rules (StationListOps::PressSelect), never Qt's; a held
    // button drags the selected rows.
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void DragStarted() override;
    // Files dropped on the list are imported.
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void EndDrag();
    void DeleteSelected();
    void CopyToOtherList();
    void PlayRow(int row);
    PointerRow Pointer(int y) const;
    bool Ask(const QString& question);
    void Tell(const QString& message);

    StationLists& lists_;
    const KeptList which_;
    Host host_;
    StationListOps ops_;
    bool keysBlocked_ = false;
    // Keys pressed while this list had the focus and not yet released.
    QSet<int> pressedKeys_;
};

}  // namespace wavelot
