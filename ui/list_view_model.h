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
    void AddColumn(const QString& caption, Qt::Alignment alignment);

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
        Qt::Alignment alignment;
    };
    std::vector<Column> columns_;
    int rows_ = 0;
    TextSource source_;
    RoleSource roles_;
};

// Paints each cell as plain text: in the model's Qt::ForegroundRole and Qt::BackgroundRole colours
// where it gives them, else in the list's colours; a selected row in the selection colours.
class ListViewDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ListViewDelegate(QObject* parent = nullptr);
    void SetColors(const QColor& text, const QColor& back) {
        text_ = text;
        back_ = back;
    }
    void SetSelectionColors(const QColor& text, const QColor& back) {
        selectedText_ = text;
        selectedBack_ = back;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    QColor text_{Qt::white};
    QColor back_{Qt::black};
    QColor selectedText_;
    QColor selectedBack_;
};

}  // namespace wavelot
