#pragma once
// clsListView: the report-style list all four station lists of the main window are shown in.
// It keeps only a row count; every cell's text is asked from the owner (OnData), the owner colours
// rows through the model's roles or draws them with a delegate of its own, and clicks, keys, drags
// and dropped files come back as signals with Qt's keys, buttons and modifiers.

#include <QColor>
#include <QFrame>
#include <QPointer>
#include <QSet>
#include <QStringList>
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

class clsListView;

namespace detail {
// The table itself; forwards its input events to the owning clsListView.
class ListTable : public QTableView {
    Q_OBJECT
public:
    explicit ListTable(clsListView* owner, QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

private:
    clsListView* owner_;
    QPoint pressPos_;
    int pressRow_ = -1;
    int pressColumn_ = 0;
    Qt::MouseButton pressButton_ = Qt::NoButton;
    bool dragStarted_ = false;
    // Keys pressed while this table had the focus and not yet released. A release is only
    // reported for one of them: the Enter that closes a message box over the list is pressed
    // in the box, and its release must not act on the list.
    QSet<int> pressedKeys_;
};
}  // namespace detail

class clsListView : public QObject {
    Q_OBJECT
public:
    explicit clsListView(QObject* parent = nullptr);
    ~clsListView() override;

    bool Create(QWidget* parent, const ListShape& shape);
    int Add();
    // Appends n rows at once (a bulk fill asks the model once instead of n times).
    void AddRows(int n);
    void AddColumn(const QString& caption, int width, Qt::Alignment alignment = Qt::AlignLeft);
    int ColumnWidth(int iColumn) const;
    void SetColumnWidth(int iColumn, int lValue);
    bool Selected(int lItem) const;
    void SetSelected(int lItem, bool bState);
    void SetSelectList(bool bState);
    void EnsureVisible(int lIndex);
    int SelCount() const;
    int ListCount() const;
    void Clear();
    void Remove(int iIndex);
    int HitTest(int x, int y) const;
    int Bottom() const;
    void Block(bool bState);
    bool Blocked() const { return blocked_; }
    void RedrawItem(int iIndex);
    // Repaints every row (after a sort or a bulk change).
    void Refresh();
    // Rows without colours of their own from the model, and the empty area below them.
    void SetColors(const QColor& text, const QColor& back);
    // Selected rows (the palette's highlight until set).
    void SetSelectionColors(const QColor& text, const QColor& back);
    void BlockKey(bool bState) { blockKey_ = bState; }
    // While set, a press or click never changes the selection by itself: the owner's MouseDown
    // handler selects (keys still select as usual).
    void SetOwnerSelectsOnPress(bool on) { ownerSelects_ = on; }
    bool KeyBlocked() const { return blockKey_; }
    void SetFocus();
    QTableView* Table() const;
    QFrame* Container() const { return container_.data(); }
    // Places the list's frame (before Create, nothing); the table fills it.
    void SetGeometry(const QRect& geometry) {
        if (!container_.isNull())
            container_->setGeometry(geometry);
    }
    std::vector<int> GetSelectedItems() const;
    ListViewModel* Model() const { return model_; }

    // Internal helpers the handlers use too.
    int FocusedItem() const;
    int NextSelected(int after) const;
    void SelectOnly(int index);

Q_SIGNALS:
    void Click(int item, Qt::MouseButton button);
    void DblClick(int item, Qt::MouseButton button);
    void ColumnClick(int iIndex);
    void DragBegin(int item, int column, Qt::MouseButton button);
    void MouseDown(Qt::MouseButton button, int x, int y, Qt::KeyboardModifiers modifiers);
    void MouseMove(int x, int y, Qt::KeyboardModifiers modifiers);
    void MouseUp(Qt::MouseButton button, int x, int y, Qt::KeyboardModifiers modifiers);
    // Qt::Key values.
    void KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void KeyUp(int key, Qt::KeyboardModifiers modifiers);
    // The handler fills text; an untouched text shows an empty cell.
    void OnData(int item, int SubItem, QString& text);
    void FilesDropped(const QStringList& files, int x, int y);
    void LostFocus();

private:
    friend class detail::ListTable;
    QPointer<QFrame> container_;
    QPointer<detail::ListTable> table_;
    ListViewModel* model_ = nullptr;
    ListViewDelegate* delegate_ = nullptr;
    bool blockKey_ = false;
    bool blocked_ = false;
    bool multiSelect_ = false;
    bool ownerSelects_ = false;
};

}  // namespace wavelot
