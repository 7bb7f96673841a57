#pragma once
// The data side of clsListView: a table model that stores only a row count and the column
// definitions, and asks a text source for every cell it is asked to show. Rows of the program's
// lists live in their clsSongArray; this model never copies them.

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <functional>
#include <vector>

namespace wavelot {

class ListViewModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using TextSource = std::function<QString(int item, int subItem)>;
    // Every other role (colours, fonts, an owner's own roles); an invalid QVariant for none.
    using RoleSource = std::function<QVariant(int item, int subItem, int role)>;

    explicit ListViewModel(QObject* parent = nullptr);

    void SetTextSource(TextSource source) { source_ = std::move(source); }
    void SetRoleSource(RoleSource source) { roles_ = std::move(source); }
    // 0 left, 1 right, 2 centre.
    bool InsertColumn(int index, const QString& caption, int alignment);
    int ColumnAlignment(int column) const;

    int Count() const { return rows_; }
    void Append(int n = 1);
    void RemoveRow(int row);
    void ClearRows();
    // Repaint the given rows without changing the count.
    void TouchRows(int first, int last);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Column {
        QString caption;
        int alignment;
    };
    std::vector<Column> columns_;
    int rows_ = 0;
    TextSource source_;
    RoleSource roles_;
};

// Draw record handed to CustomDraw handlers: the stage, the row, its state flags and colours.
// Handlers may change the colours and flags (default drawing then uses them) or paint the row
// themselves with painter and rect and answer CDRF_SKIPDEFAULT.
struct NMLVCustomDraw {
    int dwDrawStage = 0;
    int dwItemSpec = 0;  // row
    int iSubItem = 0;
    int uItemState = 0;
    QColor clrText;
    QColor clrTextBk;
    QPainter* painter = nullptr;
    QRect rcItem;     // the whole row
    QRect rcSubItem;  // the cell being drawn
};

inline constexpr int CDDS_PREPAINT = 0x1;
inline constexpr int CDDS_ITEM = 0x10000;
inline constexpr int CDDS_SUBITEM = 0x20000;
inline constexpr int CDDS_ITEMPREPAINT = CDDS_ITEM | CDDS_PREPAINT;
inline constexpr int CDRF_DODEFAULT = 0x0;
inline constexpr int CDRF_SKIPDEFAULT = 0x4;
inline constexpr int CDRF_NOTIFYITEMDRAW = 0x20;
inline constexpr int CDRF_NOTIFYSUBITEMDRAW = 0x20;
inline constexpr int CDIS_SELECTED = 0x1;
inline constexpr int CDIS_FOCUS = 0x10;

// Paints each cell through the owner's CustomDraw handler, falling back to plain text in the
// colours the handler left in the record.
class ListViewDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using DrawHandler = std::function<int(NMLVCustomDraw&)>;
    explicit ListViewDelegate(QObject* parent = nullptr);
    void SetDrawHandler(DrawHandler h) { handler_ = std::move(h); }
    // Whether the handler asked for per-row notifications at the list's pre-paint stage.
    void SetItemNotify(bool on) { itemNotify_ = on; }
    void SetColors(const QColor& text, const QColor& back) {
        text_ = text;
        back_ = back;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    DrawHandler handler_;
    bool itemNotify_ = false;
    QColor text_{Qt::white};
    QColor back_{Qt::black};
};

}  // namespace wavelot
