#include "ui/list_view_model.h"

#include <QPainter>

#include "ui/mod_theme.h"

namespace wavelot {

ListViewModel::ListViewModel(QObject* parent) : QAbstractTableModel(parent) {}

void ListViewModel::AddColumn(const QString& caption, Qt::Alignment alignment) {
    const int index = static_cast<int>(columns_.size());
    beginInsertColumns({}, index, index);
    columns_.push_back(Column{caption, alignment});
    endInsertColumns();
}

void ListViewModel::Append(int n) {
    if (n <= 0)
        return;
    beginInsertRows({}, rows_, rows_ + n - 1);
    rows_ += n;
    endInsertRows();
}

void ListViewModel::RemoveRow(int row) {
    if (row < 0 || row >= rows_)
        return;
    beginRemoveRows({}, row, row);
    --rows_;
    endRemoveRows();
}

void ListViewModel::ClearRows() {
    beginResetModel();
    rows_ = 0;
    endResetModel();
}

void ListViewModel::TouchRows(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, rows_ - 1);
    if (first > last || columns_.empty())
        return;
    Q_EMIT dataChanged(index(first, 0), index(last, static_cast<int>(columns_.size()) - 1));
}

int ListViewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int ListViewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ListViewModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role == Qt::DisplayRole) {
        if (!source_)
            return QString();
        return source_(index.row(), index.column());
    }
    if (role == Qt::TextAlignmentRole)
        return headerData(index.column(), Qt::Horizontal, role);
    return roles_ ? roles_(index.row(), index.column(), role) : QVariant();
}

QVariant ListViewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= static_cast<int>(columns_.size()))
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
