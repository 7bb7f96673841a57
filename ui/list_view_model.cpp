#include "ui/list_view_model.h"

#include <QPainter>

#include "ui/mod_theme.h"

namespace wavelot {

SongListModel::SongListModel(clsSongArray& list, std::vector<Column> columns, QObject* parent)
    : QAbstractTableModel(parent), list_(list), columns_(std::move(columns)) {}

void SongListModel::Follow() {
    const int rows = list_.ListCount();
    if (rows < rows_) {
        beginResetModel();
        rows_ = 0;
        endResetModel();
    }
    if (rows > rows_) {
        beginInsertRows({}, rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    }
    Refresh();
}

void SongListModel::RemoveRecord(int row) {
    if (row < 0 || row >= rows_ || row >= list_.ListCount())
        return;
    beginRemoveRows({}, row, row);
    list_.Remove(row);
    --rows_;
    endRemoveRows();
}

void SongListModel::Refresh() {
    if (rows_ > 0 && !columns_.empty())
        Q_EMIT dataChanged(index(0, 0), index(rows_ - 1, columnCount() - 1));
}

int SongListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int SongListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant SongListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        index.row() >= list_.ListCount())
        return {};
    if (role == Qt::DisplayRole)
        return (list_.*columns_[index.column()].field)(index.row());
    if (role == Qt::TextAlignmentRole)
        return headerData(index.column(), Qt::Horizontal, role);
    return {};
}

QVariant SongListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return columns_[section].caption;
    if (role == Qt::TextAlignmentRole)
        return static_cast<int>(columns_[section].alignment | Qt::AlignVCenter);
    return {};
}

ListViewDelegate::ListViewDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void ListViewDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const QVariant fore = index.data(Qt::ForegroundRole);
    const QVariant back = index.data(Qt::BackgroundRole);
    QColor text = fore.isValid() ? fore.value<QColor>() : text_;
    QColor fill = back.isValid() ? back.value<QColor>() : back_;
    if (option.state & QStyle::State_Selected) {
        text = selectedText_.isValid() ? selectedText_ : option.palette.color(QPalette::HighlightedText);
        fill = selectedBack_.isValid() ? selectedBack_ : option.palette.color(QPalette::Highlight);
    }
    painter->save();
    painter->fillRect(option.rect, fill);
    painter->setPen(text);
    painter->setFont(option.font);
    DrawTextBand(*painter, index.data(Qt::DisplayRole).toString(), option.rect.left() + 6, option.rect.top(),
                 option.rect.width() - 12, option.rect.height(),
                 Qt::Alignment(index.data(Qt::TextAlignmentRole).toInt()));
    painter->restore();
}

}  // namespace wavelot
