#pragma once
// What the favourites and job views do to their list and its selection, without a widget: the
// key commands, deleting, copying to the other list, selection on press and reordering by
// dragging. The records live in the station list, the row count in the view's model and the
// selection in a selection model over it; every change keeps the three in step and is then
// announced (StationLists::changes).
//
// Reordering exchanges records with the row a drag step moved by, and the selection marks move
// with them. Two deliberate differences from a plain exchange: a selected row is never
// exchanged with another selected row (the selected records keep their order, and a block
// whose top row sits at the first row stays put there while rows below close up to it), and
// the mouse over the empty part of a view below the last row counts as over the last row.

#include <QString>
#include <vector>

#include "core/list_changes.h"

class QItemSelectionModel;

namespace wavelot {

class SongListModel;
class clsSongArray;
struct StationLists;

// Where the mouse is for a press or a drag step, by its height in the view.
struct PointerRow {
    enum class Where { Above, Below, Over };
    Where where = Where::Over;
    int row = -1;  // Over: the row under the mouse, -1 over no row
    // y in the view's client area, whose height is bottom; hit gives the row at a height.
    template <typename HitTest>
    static PointerRow At(int y, int bottom, const HitTest& hit) {
        if (y < 0)
            return {Where::Above};
        if (y > bottom)
            return {Where::Below};
        return {Where::Over, hit(y)};
    }
};

// The drag state both views share (only one drag runs at a time).
struct DragRows {
    int anchor = 0;
    int current = -1;
};

class StationListOps {
public:
    enum class KeyCommand { None, SelectAll, ClearSelection, Play, Delete };

    StationListOps(StationLists& lists, KeptList which, SongListModel& model, QItemSelectionModel& selection);

    clsSongArray& List() const { return list_; }
    KeptList Which() const { return which_; }
    int Count() const;
    bool Selected(int row) const;
    std::vector<int> SelectedRows() const;  // ascending
    bool HasSelection() const;

    // A, N, Enter or Space, Delete; anything else (and every key on an empty list) is None;
    // Play and Delete need a selected row.
    KeyCommand CommandForKey(int key) const;
    void SelectAll();
    void ClearSelection();
    // The selected rows, from the highest to the lowest. Returns how many went.
    int DeleteSelected();
    // Appends a copy of each selected row to the other list, from the last selected row to the
    // first: address, name, code and comment; a copy into the jobs starts and stops at `now`
    // and is disabled. Returns how many were copied.
    int CopySelectedToOtherList(const QString& now);

    // Selection on press. A press on a row of a list with nothing selected selects that row.
    void PressSelect(DragRows& drag, PointerRow at, Qt::KeyboardModifiers modifiers);
    // One drag step; true when records moved.
    bool DragStep(DragRows& drag, PointerRow at);

private:
    void Select(int row, bool on);
    void ExchangeRows(int i, int d);

    StationLists& lists_;
    KeptList which_;
    clsSongArray& list_;
    SongListModel& model_;
    QItemSelectionModel& selection_;
};

}  // namespace wavelot
