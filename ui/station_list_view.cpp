#include "ui/station_list_view.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTime>

#include "core/app_folders.h"
#include "core/list_files.h"
#include "core/path_utils.h"
#include "core/station_lists.h"
#include "engine/time_text.h"
#include "ui/main_window_texts.h"
#include "ui/menus.h"
#include "ui/screen_metrics.h"
#include "ui/station_list_rows.h"

namespace wavelot {

namespace {

using namespace Qt::Literals::StringLiterals;

// Main-window commands the menu and the keys issue.
constexpr int kCmdAdd = 8, kCmdEdit = 9, kCmdDelete = 10, kCmdExport = 11, kCmdImport = 12;
const QColor kListBack(51, 51, 51);

// Draws each row across the whole view from the look the list gives it.
class StationRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QVariant look = index.data(kStationRowLookRole);
        if (!look.isValid())
            return;
        QRect row = option.rect;
        if (const auto* view = qobject_cast<const QAbstractItemView*>(option.widget))
            row = QRect(0, option.rect.top(), view->viewport()->width(), option.rect.height());
        painter->save();
        PaintStationRow(*painter, row, index.row(), option.state & QStyle::State_Selected,
                        look.value<StationRowLook>());
        painter->restore();
    }
};

// The list's rows: the title as their text, and the look, background and font they are drawn in.
class StationRowsModel : public SongListModel {
public:
    StationRowsModel(clsSongArray& list, bool jobs, bool largeFonts)
        : SongListModel(list, {{ui_text::kStationColumn, &clsSongArray::Title}}),
          jobs_(jobs),
          largeFonts_(largeFonts) {}

    QVariant data(const QModelIndex& index, int role) const override {
        const int row = index.row();
        if (!index.isValid() || row >= List().ListCount())
            return SongListModel::data(index, role);
        switch (role) {
        case kStationRowLookRole:
            return QVariant::fromValue(jobs_ ? JobRowLook(List().Row(row), row, largeFonts_, QLocale())
                                             : FavoriteRowLook(List().Row(row), row, largeFonts_));
        case Qt::BackgroundRole: return RowBackground(row);
        case Qt::FontRole: return RowFont(largeFonts_);
        default: return SongListModel::data(index, role);
        }
    }

private:
    const bool jobs_;
    const bool largeFonts_;
};

ListShape ShapeFor(KeptList which, bool largeFonts) {
    return {.geometry = {0, 0, 641, 324},
            .rowHeight = which == KeptList::Jobs ? JobRowHeightFor(largeFonts) : kFavoriteRowHeight,
            .multiSelect = true,
            .captions = false};
}

QString ImportFailure(const ListImport& result, const QString& path) {
    switch (result.status) {
    case ListImport::Status::Unreadable: return ui_text::kListUnreadable + u'\n' + path;
    case ListImport::Status::TooLarge: return ui_text::kListTooLarge + u'\n' + path;
    case ListImport::Status::NoStations: return ui_text::kListNoStations + u'\n' + path;
    case ListImport::Status::Imported:
    case ListImport::Status::Ignored: break;
    }
    return {};
}

}  // namespace

StationListView::StationListView(StationLists& lists, KeptList which, Host host, bool largeFonts,
                                 QWidget* panel)
    : ListView(panel, ShapeFor(which, largeFonts),
               new StationRowsModel(lists.Kept(which), which == KeptList::Jobs, largeFonts)),
      lists_(lists),
      which_(which),
      host_(std::move(host)),
      ops_(lists, which, Rows(), *selectionModel()) {
    SetColors(Qt::white, kListBack);  // the rows themselves are the delegate's
    setItemDelegate(new StationRowDelegate(this));
    setColumnWidth(0, 581);
    setObjectName(which == KeptList::Jobs ? u"clsRunJobs"_s : u"clsFavorites"_s);
    // The one column fills the view, whatever its width.
    horizontalHeader()->setStretchLastSection(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(DropOnly);
    FollowList();
    connect(&lists_.changes, &ListChanges::Changed, this, [this](KeptList changed) {
        if (changed == which_)
            FollowList();
    });
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (ops_.HasSelection())
            PlayRow(index.row());
    });
    connect(this, &QWidget::customContextMenuRequested, this, &StationListView::ShowMenu);
}

void StationListView::keyPressEvent(QKeyEvent* e) {
    if (keysBlocked_) {
        e->accept();
        return;
    }
    pressedKeys_.insert(e->key());
    ListView::keyPressEvent(e);
}

void StationListView::keyReleaseEvent(QKeyEvent* e) {
    if (!e->isAutoRepeat() && pressedKeys_.remove(e->key()))
        KeyCommand(e->key());
    ListView::keyReleaseEvent(e);
}

QItemSelectionModel::SelectionFlags StationListView::selectionCommand(const QModelIndex& index,
                                                                      const QEvent* event) const {
    if (event != nullptr && dynamic_cast<const QMouseEvent*>(event) != nullptr)
        return QItemSelectionModel::NoUpdate;
    return ListView::selectionCommand(index, event);
}

void StationListView::mousePressEvent(QMouseEvent* e) {
    ops_.PressSelect(*host_.drag, Pointer(e->position().toPoint().y()), e->modifiers());
    ListView::mousePressEvent(e);
}

void StationListView::mouseMoveEvent(QMouseEvent* e) {
    if (host_.dragging() && ops_.DragStep(*host_.drag, Pointer(e->position().toPoint().y())))
        scrollTo(Rows().index(host_.drag->current, 0));
    ListView::mouseMoveEvent(e);
}

void StationListView::mouseReleaseEvent(QMouseEvent* e) {
    ListView::mouseReleaseEvent(e);
    EndDrag();
}

void StationListView::focusOutEvent(QFocusEvent* e) {
    pressedKeys_.clear();
    ListView::focusOutEvent(e);
    EndDrag();
}

void StationListView::DragStarted() {
    host_.setDragging(true);
    keysBlocked_ = true;
}

void StationListView::EndDrag() {
    if (!host_.dragging())
        return;
    host_.setDragging(false);
    keysBlocked_ = false;
}

void StationListView::dragEnterEvent(QDragEnterEvent* e) {
    dragMoveEvent(e);
}

void StationListView::dragMoveEvent(QDragMoveEvent* e) {
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
    else
        e->ignore();
}

void StationListView::dropEvent(QDropEvent* e) {
    QStringList files;
    for (const QUrl& u : e->mimeData()->urls())
        if (u.isLocalFile())
            files << u.toLocalFile();
    if (files.isEmpty()) {
        e->ignore();
        return;
    }
    e->acceptProposedAction();
    ImportFiles(files);
}

PointerRow StationListView::Pointer(int y) const {
    return PointerRow::At(y, viewport()->height(), [this](int at) { return rowAt(at); });
}

void StationListView::PlayRow(int row) {
    const clsSongArray& list = ops_.List();
    if (row >= 0 && row < list.ListCount())
        host_.playRadio(list.File(row), list.Title(row), list.Code(row));
}

bool StationListView::Ask(const QString& question) {
    return QMessageBox::question(window(), ProgramTitle(), question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void StationListView::Tell(const QString& message) {
    QMessageBox::information(window(), ProgramTitle(), message);
}

void StationListView::ShowMenu() {
    const bool jobs = which_ == KeptList::Jobs;
    QMenu menu;
    const auto command = [this, &menu](const QString& text, int command) {
        connect(menu.addAction(text), &QAction::triggered, this,
                [this, command] { host_.runCommand(command); });
    };
    command(ui_text::kMenuAddStation, kCmdAdd);
    if (ops_.HasSelection()) {
        command(ui_text::kMenuEditStation, kCmdEdit);
        command(ui_text::kMenuDeleteStation, kCmdDelete);
        menu.addSeparator();
        connect(menu.addAction(jobs ? ui_text::kAddToFavorites : ui_text::kAddToJobs), &QAction::triggered,
                this, &StationListView::CopyToOtherList);
    }
    menu.addSeparator();
    if (Rows().rowCount() > 0)
        command(ui_text::kMenuExportList, kCmdExport);
    command(ui_text::kMenuImportList, kCmdImport);
    wavelot::ShowMenu(menu, window());
}

void StationListView::CopyToOtherList() {
    const bool jobs = which_ == KeptList::Jobs;
    if (!Ask(jobs ? ui_text::kAskCopyToFavorites : ui_text::kAskCopyToJobs))
        return;
    ops_.CopySelectedToOtherList(ClockText(QTime::currentTime()));
}

void StationListView::KeyCommand(int key) {
    switch (ops_.CommandForKey(key)) {
    case StationListOps::KeyCommand::SelectAll: ops_.SelectAll(); break;
    case StationListOps::KeyCommand::ClearSelection: ops_.ClearSelection(); break;
    case StationListOps::KeyCommand::Play: PlayRow(ops_.SelectedRows().front()); break;
    case StationListOps::KeyCommand::Delete: DeleteSelected(); break;
    case StationListOps::KeyCommand::None: break;
    }
}

void StationListView::DeleteSelected() {
    if (!Ask(ui_text::kAskDelete))
        return;
    setUpdatesEnabled(false);
    ops_.DeleteSelected();
    setUpdatesEnabled(true);
}

void StationListView::ExportList() {
    if (Rows().rowCount() == 0)
        return;
    QFileDialog dialog(window(), ui_text::kMenuExportList, QDir::homePath(), ui_text::kListFileFilter);
    dialog.setObjectName(u"ExportDialog"_s);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);  // asked below, in our words
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    if (QFileInfo::exists(path) && !Ask(ui_text::kAskOverwrite))
        return;
    const QString ext = FileExtension(path).toLower();
    if (ext != u"m3u"_s && ext != u"m3u8"_s && ext != u"pls"_s && ext != u"ini"_s) {
        Tell(ui_text::kListBadExtension + u'\n' + path);
        return;
    }
    if (!ExportListFile(path, ops_.List(), which_ == KeptList::Jobs))
        Tell(ui_text::kListNotWritten + u'\n' + path);
}

void StationListView::ImportList() {
    QFileDialog dialog(window(), ui_text::kMenuImportList, QDir::homePath(), ui_text::kListFileFilter);
    dialog.setObjectName(u"ImportDialog"_s);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    if (QFileInfo::exists(path))
        ImportFiles({path});
}

void StationListView::ImportFiles(const QStringList& files) {
    if (files.isEmpty())
        return;
    const ImportTargets targets{&lists_.favoriteList, &lists_.jobList};
    const int tab = host_.currentTab();
    QStringList failures;
    int added = 0, already = 0;
    bool read = false;  // some file gave stations
    setUpdatesEnabled(false);
    for (const QString& file : files) {
        const ListImport result = wavelot::ImportList(file, tab, targets);
        added += result.added;
        already += result.already;
        read = read || result.status == ListImport::Status::Imported;
        if (const QString failure = ImportFailure(result, file); !failure.isEmpty())
            failures << failure;
    }
    if (added > 0)
        lists_.changes.Announce(tab == kTabJobs ? KeptList::Jobs : KeptList::Favorites);
    setUpdatesEnabled(true);
    if (read && host_.showNotice)
        host_.showNotice(ui_text::ImportCounts(added, already));
    if (!failures.isEmpty())
        Tell(failures.join(u"\n\n"_s));
}

}  // namespace wavelot
