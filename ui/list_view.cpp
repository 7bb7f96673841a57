#include "ui/list_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/mod_theme.h"

namespace wavelot {

namespace detail {

ListTable::ListTable(clsListView* owner, QWidget* parent) : QTableView(parent), owner_(owner) {}

void ListTable::keyPressEvent(QKeyEvent* e) {
    if (owner_->blockKey_) {
        e->accept();
        return;
    }
    pressedKeys_.insert(e->key());
    Q_EMIT owner_->KeyDown(e->key(), e->modifiers());
    const int count = owner_->ListCount();
    const int focused = owner_->FocusedItem();
    if (count > 0 && e->key() == Qt::Key_Up && focused == 0) {
        owner_->SelectOnly(count - 1);
        e->accept();
        return;
    }
    if (count > 0 && e->key() == Qt::Key_Down && focused == count - 1) {
        owner_->SelectOnly(0);
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
}

void ListTable::keyReleaseEvent(QKeyEvent* e) {
    if (!e->isAutoRepeat() && pressedKeys_.remove(e->key()))
        Q_EMIT owner_->KeyUp(e->key(), e->modifiers());
    QTableView::keyReleaseEvent(e);
}

void ListTable::mousePressEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    if (e->button() == Qt::LeftButton)
        setFocus(Qt::MouseFocusReason);
    Q_EMIT owner_->MouseDown(e->button(), p.x(), p.y(), e->modifiers());
    const QModelIndex idx = indexAt(p);
    pressPos_ = p;
    pressRow_ = idx.isValid() ? idx.row() : -1;
    pressColumn_ = idx.isValid() ? idx.column() : 0;
    pressButton_ = e->button();
    dragStarted_ = false;
    QTableView::mousePressEvent(e);
}

void ListTable::mouseMoveEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    Q_EMIT owner_->MouseMove(p.x(), p.y(), e->modifiers());
    if (e->buttons() & (Qt::LeftButton | Qt::RightButton)) {
        // No rubber-band or drag selection: a held button drags rows (the owner decides).
        if (!dragStarted_ && pressRow_ >= 0 &&
            (p - pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
            dragStarted_ = true;
            if (pressButton_ == Qt::LeftButton)
                viewport()->grabMouse();
            Q_EMIT owner_->DragBegin(pressRow_, pressColumn_, pressButton_);
        }
        return;
    }
    QTableView::mouseMoveEvent(e);
}

void ListTable::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint p = e->position().toPoint();
    if (e->button() == Qt::LeftButton && QWidget::mouseGrabber() == viewport())
        viewport()->releaseMouse();
    QTableView::mouseReleaseEvent(e);
    const Qt::MouseButton button = e->button();
    Q_EMIT owner_->MouseUp(button, p.x(), p.y(), e->modifiers());
    if (!dragStarted_ && (button == Qt::LeftButton || button == Qt::RightButton)) {
        const QModelIndex idx = indexAt(p);
        Q_EMIT owner_->Click(idx.isValid() ? idx.row() : -1, button);
    }
    dragStarted_ = false;
    pressRow_ = -1;
}

void ListTable::mouseDoubleClickEvent(QMouseEvent* e) {
    QTableView::mouseDoubleClickEvent(e);
    const Qt::MouseButton button = e->button();
    if (button == Qt::LeftButton || button == Qt::RightButton) {
        const QModelIndex idx = indexAt(e->position().toPoint());
        Q_EMIT owner_->DblClick(idx.isValid() ? idx.row() : -1, button);
    }
}

void ListTable::focusOutEvent(QFocusEvent* e) {
    pressedKeys_.clear();
    QTableView::focusOutEvent(e);
    Q_EMIT owner_->LostFocus();
}

void ListTable::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
    else
        e->ignore();
}

void ListTable::dragMoveEvent(QDragMoveEvent* e) {
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
    else
        e->ignore();
}

void ListTable::dropEvent(QDropEvent* e) {
    QStringList files;
    for (const QUrl& u : e->mimeData()->urls())
        if (u.isLocalFile())
            files << u.toLocalFile();
    if (files.isEmpty()) {
        e->ignore();
        return;
    }
    e->acceptProposedAction();
    const QPoint p = e->position().toPoint();
    Q_EMIT owner_->FilesDropped(files, p.x(), p.y());
}

QItemSelectionModel::SelectionFlags ListTable::selectionCommand(const QModelIndex& index,
                                                                const QEvent* event) const {
    if (owner_->ownerSelects_ && event != nullptr &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
         event->type() == QEvent::MouseButtonDblClick || event->type() == QEvent::MouseMove))
        return QItemSelectionModel::NoUpdate;
    return QTableView::selectionCommand(index, event);
}

}  // namespace detail

clsListView::clsListView(QObject* parent) : QObject(parent) {}

clsListView::~clsListView() {
    delete container_.data();
}

bool clsListView::Create(QWidget* parent, const ListShape& shape) {
    if (parent == nullptr || !container_.isNull())
        return false;
    container_ = new QFrame(parent);
    container_->setGeometry(shape.geometry);
    container_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

    table_ = new detail::ListTable(this, container_);
    table_->setFrameStyle(QFrame::NoFrame);
    model_ = new ListViewModel(this);
    model_->SetTextSource([this](int item, int sub) {
        QString text;
        Q_EMIT OnData(item, sub, text);
        return text;
    });
    delegate_ = new ListViewDelegate(this);
    table_->setModel(model_);
    table_->setItemDelegate(delegate_);
    multiSelect_ = shape.multiSelect;
    table_->setSelectionMode(multiSelect_ ? QAbstractItemView::ExtendedSelection
                                          : QAbstractItemView::SingleSelection);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setShowGrid(false);
    table_->setWordWrap(false);
    table_->setTabKeyNavigation(false);
    table_->setCornerButtonEnabled(false);
    table_->setSortingEnabled(false);
    table_->setAcceptDrops(true);
    table_->viewport()->setAcceptDrops(true);
    table_->setDragDropMode(QAbstractItemView::DropOnly);
    table_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setMinimumSectionSize(1);
    table_->verticalHeader()->setDefaultSectionSize(std::max(1, shape.rowHeight));
    QHeaderView* header = table_->horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setMinimumSectionSize(0);
    header->setVisible(shape.captions);
    connect(header, &QHeaderView::sectionClicked, this, &clsListView::ColumnClick);
    table_->setFont(UiFont(14));
    // The table fills the frame, whatever size the owner gives the frame.
    auto* layout = new QVBoxLayout(container_);
    layout->setContentsMargins({});
    layout->addWidget(table_);
    container_->show();
    return true;
}

int clsListView::Add() {
    if (model_ == nullptr)
        return -1;
    model_->Append(1);
    return model_->Count() - 1;
}

void clsListView::AddRows(int n) {
    if (model_ != nullptr)
        model_->Append(n);
}

void clsListView::AddColumn(const QString& caption, int width, Qt::Alignment alignment) {
    if (model_ == nullptr)
        return;
    model_->AddColumn(caption, alignment);
    table_->setColumnWidth(model_->columnCount() - 1, width);
}

int clsListView::ColumnWidth(int iColumn) const {
    if (table_.isNull() || iColumn < 0 || iColumn >= model_->columnCount())
        return 0;
    return table_->isColumnHidden(iColumn) ? 0 : table_->columnWidth(iColumn);
}

void clsListView::SetColumnWidth(int iColumn, int lValue) {
    if (table_.isNull() || iColumn < 0 || iColumn >= model_->columnCount())
        return;
    // QHeaderView keeps a 0-wide section clickable; hide it as the classic list does.
    table_->setColumnHidden(iColumn, lValue <= 0);
    if (lValue > 0)
        table_->setColumnWidth(iColumn, lValue);
}

bool clsListView::Selected(int lItem) const {
    if (table_.isNull() || lItem < 0 || lItem >= ListCount())
        return false;
    return table_->selectionModel()->isRowSelected(lItem, {});
}

void clsListView::SetSelected(int lItem, bool bState) {
    if (table_.isNull())
        return;
    QItemSelectionModel* sm = table_->selectionModel();
    if (lItem == -1) {
        SetSelectList(bState);
        return;
    }
    if (lItem < 0 || lItem >= ListCount())
        return;
    const QModelIndex idx = model_->index(lItem, 0);
    if (bState) {
        if (!multiSelect_)
            sm->clearSelection();
        sm->select(idx, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        sm->setCurrentIndex(idx, QItemSelectionModel::NoUpdate);
    } else {
        sm->select(idx, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    }
}

void clsListView::SetSelectList(bool bState) {
    if (table_.isNull())
        return;
    if (!bState) {
        table_->selectionModel()->clearSelection();
        return;
    }
    if (ListCount() == 0 || model_->columnCount() == 0)
        return;
    if (!multiSelect_) {
        SetSelected(FocusedItem() >= 0 ? FocusedItem() : 0, true);
        return;
    }
    const QItemSelection all(model_->index(0, 0), model_->index(ListCount() - 1, model_->columnCount() - 1));
    table_->selectionModel()->select(all, QItemSelectionModel::Select);
}

void clsListView::EnsureVisible(int lIndex) {
    if (!table_.isNull() && lIndex >= 0 && lIndex < ListCount())
        table_->scrollTo(model_->index(lIndex, 0), QAbstractItemView::EnsureVisible);
}

int clsListView::SelCount() const {
    return table_.isNull() ? 0 : static_cast<int>(table_->selectionModel()->selectedRows().size());
}

int clsListView::ListCount() const {
    return model_ == nullptr ? 0 : model_->Count();
}

void clsListView::Clear() {
    if (model_ != nullptr)
        model_->ClearRows();
}

void clsListView::Remove(int iIndex) {
    if (model_ != nullptr)
        model_->RemoveRow(iIndex);
}

int clsListView::HitTest(int x, int y) const {
    if (table_.isNull())
        return -1;
    const int row = table_->rowAt(y);
    if (row < 0 || x < 0 || x >= table_->viewport()->width())
        return -1;
    return row;
}

int clsListView::Bottom() const {
    return table_.isNull() ? 0 : table_->viewport()->height();
}

void clsListView::Block(bool bState) {
    blocked_ = bState;
    if (!table_.isNull())
        table_->setUpdatesEnabled(!bState);
}

void clsListView::RedrawItem(int iIndex) {
    if (model_ != nullptr)
        model_->TouchRows(iIndex, iIndex);
}

void clsListView::Refresh() {
    if (table_.isNull())
        return;
    model_->TouchRows(0, ListCount() - 1);
    table_->viewport()->update();
}

void clsListView::SetColors(const QColor& text, const QColor& back) {
    if (table_.isNull())
        return;
    QPalette p = table_->palette();
    p.setColor(QPalette::Base, back);
    p.setColor(QPalette::Window, back);
    table_->setPalette(p);
    delegate_->SetColors(text, back);
}

void clsListView::SetSelectionColors(const QColor& text, const QColor& back) {
    if (delegate_ != nullptr)
        delegate_->SetSelectionColors(text, back);
}

void clsListView::SetFocus() {
    if (!table_.isNull())
        table_->setFocus(Qt::OtherFocusReason);
}

QTableView* clsListView::Table() const {
    return table_.data();
}

std::vector<int> clsListView::GetSelectedItems() const {
    std::vector<int> rows;
    if (table_.isNull())
        return rows;
    for (const QModelIndex& i : table_->selectionModel()->selectedRows())
        rows.push_back(i.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int clsListView::FocusedItem() const {
    if (table_.isNull())
        return -1;
    const QModelIndex cur = table_->selectionModel()->currentIndex();
    return cur.isValid() ? cur.row() : -1;
}

int clsListView::NextSelected(int after) const {
    const int n = ListCount();
    for (int i = std::max(after + 1, 0); i < n; ++i)
        if (Selected(i))
            return i;
    return -1;
}

void clsListView::SelectOnly(int index) {
    if (table_.isNull())
        return;
    table_->selectionModel()->clearSelection();
    if (index == -1 || index >= ListCount())
        return;
    SetSelected(index, true);
    EnsureVisible(index);
    Q_EMIT Click(index, Qt::LeftButton);
}

}  // namespace wavelot
