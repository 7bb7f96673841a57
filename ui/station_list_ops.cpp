#include "ui/station_list_ops.h"

#include <QItemSelectionModel>
#include <algorithm>

#include "core/station_lists.h"
#include "ui/list_view_model.h"

namespace wavelot {

StationListOps::StationListOps(StationLists& lists, KeptList which, SongListModel& model,
                               QItemSelectionModel& selection)
    : lists_(lists), which_(which), list_(lists.Kept(which)), model_(model), selection_(selection) {}

int StationListOps::Count() const {
    return std::min(list_.ListCount(), model_.rowCount());
}

bool StationListOps::Selected(int row) const {
    return row >= 0 && row < Count() && selection_.isRowSelected(row, {});
}

std::vector<int> StationListOps::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& i : selection_.selectedRows())
        if (i.row() < Count())
            rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

bool StationListOps::HasSelection() const {
    return Count() > 0 && selection_.hasSelection();
}

StationListOps::KeyCommand StationListOps::CommandForKey(int key) const {
    if (Count() == 0)
        return KeyCommand::None;
    switch (key) {
    case Qt::Key_A: return KeyCommand::SelectAll;
    case Qt::Key_N: return KeyCommand::ClearSelection;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: return HasSelection() ? KeyCommand::Play : KeyCommand::None;
    case Qt::Key_Delete: return HasSelection() ? KeyCommand::Delete : KeyCommand::None;
    default: return KeyCommand::None;
    }
}

void StationListOps::Select(int row, bool on) {
    if (row < 0 || row >= Count() || model_.columnCount() == 0)
        return;
    selection_.select(
        model_.index(row, 0),
        (on ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) | QItemSelectionModel::Rows);
}

void StationListOps::SelectAll() {
    if (Count() == 0 || model_.columnCount() == 0)
        return;
    selection_.select(QItemSelection(model_.index(0, 0), model_.index(Count() - 1, model_.columnCount() - 1)),
                      QItemSelectionModel::Select);
}

void StationListOps::ClearSelection() {
    selection_.clearSelection();
}

int StationListOps::DeleteSelected() {
    const std::vector<int> rows = SelectedRows();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        model_.RemoveRecord(*it);
    }
    if (!rows.empty())
        lists_.changes.Announce(which_);
    return static_cast<int>(rows.size());
}

int StationListOps::CopySelectedToOtherList(const QString& now) {
    const KeptList other = which_ == KeptList::Favorites ? KeptList::Jobs : KeptList::Favorites;
    clsSongArray& target = lists_.Kept(other);
    const std::vector<int> rows = SelectedRows();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        StationRow copy{.file = list_.File(*it),
                        .title = list_.Title(*it),
                        .code = list_.Code(*it),
                        .comment = list_.Comment(*it)};
        if (other == KeptList::Jobs)
            copy.jobStart = copy.jobStop = now;
        target.AddItem(copy);
    }
    if (!rows.empty())
        lists_.changes.Announce(other);
    return static_cast<int>(rows.size());
}

void StationListOps::PressSelect(DragRows& drag, PointerRow at, Qt::KeyboardModifiers modifiers) {
    const int count = Count();
    if (count == 0)
        return;
    const int row = at.where == PointerRow::Where::Above   ? 0
                    : at.where == PointerRow::Where::Below ? -1
                                                           : at.row;
    const auto focus = [&](int r) {
        if (r >= 0 && r < count)
            selection_.setCurrentIndex(model_.index(r, 0), QItemSelectionModel::NoUpdate);
    };
    if (!HasSelection()) {
        // What the list does by itself on a press: the row under the mouse becomes the selection.
        if (row >= 0 && row < count) {
            drag.current = row;
            Select(row, true);
            focus(row);
        }
        return;
    }
    drag.anchor = drag.current;
    // Shift or Ctrl alone; any other combination does nothing.
    const Qt::KeyboardModifiers shift =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (shift == Qt::NoModifier) {
        drag.current = row;
        if (row != -1) {
            ClearSelection();
            Select(row, true);
            focus(row);
        }
    } else if (shift == Qt::ShiftModifier) {
        drag.current = row;
        if (row != -1 && drag.anchor >= 0) {
            for (int i = std::min(drag.anchor, row); i <= std::max(drag.anchor, row); ++i)
                Select(i, true);
            Select(row, true);
            focus(row);
        }
    } else if (shift == Qt::ControlModifier) {
        if (!Selected(row))
            drag.current = row;
        Select(row, !Selected(row));
        focus(row);
    }
}

bool StationListOps::DragStep(DragRows& drag, PointerRow at) {
    const int count = Count();
    if (count == 0 || drag.current == -1)
        return false;
    drag.anchor = drag.current;
    if (at.where == PointerRow::Where::Above) {
        drag.current -= 1;
    } else if (at.where == PointerRow::Where::Below) {
        if (drag.current < count - 1)
            drag.current += 1;
    } else {
        if (!HasSelection())
            return false;
        drag.current = at.row >= 0 ? at.row : count - 1;
    }
    const int d = drag.current - drag.anchor;
    if (d < 0) {
        for (int i = 0; i < count; ++i)
            ExchangeRows(i, d);
    } else if (d > 0) {
        for (int i = count - 1; i >= 0; --i)
            ExchangeRows(i, d);
    }
    if (d == 0)
        return false;
    drag.anchor = drag.current;
    model_.Refresh();
    lists_.changes.Announce(which_);
    return true;
}

void StationListOps::ExchangeRows(int i, int d) {
    const int j = i + d;
    if (!Selected(i) || j < 0 || j >= Count() || Selected(j))
        return;
    list_.SwapItems(i, j);
    Select(i, false);
    Select(j, true);
}

}  // namespace wavelot
