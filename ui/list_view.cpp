#include "ui/list_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/mod_theme.h"

namespace wavelot {

namespace {

QFrame* NewFrame(QWidget* parent, const QRect& geometry) {
    auto* frame = new QFrame(parent);
    frame->setGeometry(geometry);
    frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    return frame;
}

}  // namespace

ListView::ListView(QWidget* parent, const ListShape& shape, SongListModel* rows)
    : QTableView(NewFrame(parent, shape.geometry)), rows_(rows), delegate_(new ListViewDelegate(this)) {
    setFrameStyle(QFrame::NoFrame);
    rows_->setParent(this);
    setModel(rows_);
    setItemDelegate(delegate_);
    setSelectionMode(shape.multiSelect ? ExtendedSelection : SingleSelection);
    setSelectionBehavior(SelectRows);
    setEditTriggers(NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(std::max(1, shape.rowHeight));
    QHeaderView* header = horizontalHeader();
    header->setHighlightSections(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setMinimumSectionSize(0);
    header->setVisible(shape.captions);
    setFont(UiFont(14));
    // The table fills the frame, whatever size the owner gives the frame.
    auto* layout = new QVBoxLayout(Frame());
    layout->setContentsMargins({});
    layout->addWidget(this);
    Frame()->show();
}

void ListView::SetColors(const QColor& text, const QColor& back) {
    QPalette p = palette();
    p.setColor(QPalette::Base, back);
    p.setColor(QPalette::Window, back);
    setPalette(p);
    delegate_->SetColors(text, back);
}

void ListView::SetSelectionColors(const QColor& text, const QColor& back) {
    delegate_->SetSelectionColors(text, back);
}

std::vector<int> ListView::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& i : selectionModel()->selectedRows())
        rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int ListView::FirstSelected() const {
    const std::vector<int> rows = SelectedRows();
    return rows.empty() ? -1 : rows.front();
}

void ListView::SelectOnly(int row) {
    selectionModel()->clearSelection();
    if (row < 0 || row >= rows_->rowCount())
        return;
    const QModelIndex index = rows_->index(row, 0);
    selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    scrollTo(index);
}

void ListView::keyPressEvent(QKeyEvent* e) {
    const int last = rows_->rowCount() - 1;
    const int current = currentIndex().isValid() ? currentIndex().row() : -1;
    if (last >= 0 && e->key() == Qt::Key_Up && current == 0) {
        SelectOnly(last);
    } else if (last >= 0 && e->key() == Qt::Key_Down && current == last) {
        SelectOnly(0);
    } else {
        QTableView::keyPressEvent(e);
        return;
    }
    e->accept();
}

void ListView::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        setFocus(Qt::MouseFocusReason);
    pressPos_ = e->position().toPoint();
    pressButton_ = e->button();
    pressOnRow_ = indexAt(pressPos_).isValid();
    dragStarted_ = false;
    QTableView::mousePressEvent(e);
}

void ListView::mouseMoveEvent(QMouseEvent* e) {
    if (!(e->buttons() & (Qt::LeftButton | Qt::RightButton))) {
        QTableView::mouseMoveEvent(e);
        return;
    }
    if (!dragStarted_ && pressOnRow_ &&
        (e->position().toPoint() - pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
        dragStarted_ = true;
        if (pressButton_ == Qt::LeftButton)
            viewport()->grabMouse();
        DragStarted();
    }
}

void ListView::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && QWidget::mouseGrabber() == viewport())
        viewport()->releaseMouse();
    QTableView::mouseReleaseEvent(e);
    if (e->button() == Qt::RightButton && !dragStarted_)
        Q_EMIT customContextMenuRequested(e->position().toPoint());
    dragStarted_ = false;
    pressOnRow_ = false;
}

}  // namespace wavelot
