#pragma once
// The rows of a list on screen: a table model over one clsSongArray, each column one field of
// its records. The records change first and are announced; the model keeps the row count the
// view was last told of until it follows them (Follow), and a row whose record has gone shows
// nothing. A record removed through the model takes its row along at once (RemoveRecord).

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <vector>

#include "core/song_array.h"

namespace wavelot {

class SongListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        QString caption;
        QString (clsSongArray::*field)(int) const;
        Qt::Alignment alignment = Qt::AlignLeft;
    };

    SongListModel(clsSongArray& list, std::vector<Column> columns, QObject* parent = nullptr);

    const clsSongArray& List() const { return list_; }
    // Grows to the records, or starts again from none when there are fewer; repaints every row.
    void Follow();
    // Removes the record of row and the row.
    void RemoveRecord(int row);
    // The records were reordered or changed in place.
    void Refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    clsSongArray& list_;
    std::vector<Column> columns_;
    int rows_ = 0;
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
