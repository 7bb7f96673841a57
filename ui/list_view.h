#pragma once
// ListView: the table the four lists of the main window are shown in, over the rows of one
// clsSongArray, in a sunken frame of its own that its owner places. Besides Qt's own behaviour:
// Up on the first row and Down on the last wrap around; a held button never drags a selection
// (the favourites and the jobs drag rows, see DragStarted); and the release of the right button,
// unless it ended a drag, emits customContextMenuRequested (the policy stays the default one, so
// Qt's own context menu event is not what opens a list's menu).

#include <QFrame>
#include <QTableView>
#include <vector>

#include "ui/list_view_model.h"

namespace wavelot {

// Where a list sits in its parent, its row height, whether several rows can be selected at once
// and whether the column captions show.
struct ListShape {
    QRect geometry;
    int rowHeight = 20;
    bool multiSelect = false;
    bool captions = true;
};

class ListView : public QTableView {
    Q_OBJECT
public:
    // A list in a new frame in parent, over rows (which it takes).
    ListView(QWidget* parent, const ListShape& shape, SongListModel* rows);

    SongListModel& Rows() const { return *rows_; }
    QFrame* Frame() const { return static_cast<QFrame*>(parentWidget()); }
    // Places the frame; the table fills it.
    void Place(const QRect& geometry) { Frame()->setGeometry(geometry); }
    // Rows without colours of their own from the model, and the empty area below them.
    void SetColors(const QColor& text, const QColor& back);
    // Selected rows (the palette's highlight until set).
    void SetSelectionColors(const QColor& text, const QColor& back);
    // The selected rows, ascending; the first of them, -1 for none.
    std::vector<int> SelectedRows() const;
    int FirstSelected() const;
    // Makes row the only selected one and the current one, and shows it; -1 selects none.
    void SelectOnly(int row);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    // A button held since a press on a row moved the drag distance away.
    virtual void DragStarted() {}

private:
    SongListModel* rows_;
    ListViewDelegate* delegate_;
    QPoint pressPos_;
    Qt::MouseButton pressButton_ = Qt::NoButton;
    bool pressOnRow_ = false;
    bool dragStarted_ = false;
};

}  // namespace wavelot
