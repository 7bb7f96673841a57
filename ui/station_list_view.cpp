#include "ui/station_list_view.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
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

StationListView::StationListView(StationLists& lists, KeptList which, Host host, QObject* parent)
    : QObject(parent), lists_(lists), which_(which), list_(lists.Kept(which)), host_(std::move(host)) {
    connect(&lists_.changes, &ListChanges::Changed, this, [this](KeptList changed) {
        if (changed == which_)
            FollowList();
    });
}

StationListView::~StationListView() = default;

void StationListView::Create(QWidget* panel, bool largeFonts) {
    largeFonts_ = largeFonts;
    const bool jobs = which_ == KeptList::Jobs;
    const int rowHeight = jobs ? JobRowHeightFor(largeFonts) : kFavoriteRowHeight;
    view_.Create(
        panel,
        {.geometry = {0, 0, 641, 324}, .rowHeight = rowHeight, .multiSelect = true, .captions = false});
    view_.SetColors(Qt::white, kListBack);  // the rows themselves are the delegate's
    view_.AddColumn(ui_text::kStationColumn, 581);
    view_.SetOwnerSelectsOnPress(true);
    view_.Table()->setObjectName(jobs ? u"clsRunJobs"_s : u"clsFavorites"_s);
    // The one column fills the view, whatever its width.
    view_.Table()->horizontalHeader()->setStretchLastSection(true);
    view_.Table()->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view_.Model()->SetRoleSource([this](int row, int, int role) { return RowRole(row, role); });
    ops_ = std::make_unique<StationListOps>(lists_, which_, *view_.Model(), *view_.Table()->selectionModel());
    view_.AddRows(list_.ListCount());

    connect(&view_, &clsListView::OnData, this, [this](int item, int sub, QString& text) {
        if (sub == 0)
            text = list_.Title(item);
    });
    view_.Table()->setItemDelegate(new StationRowDelegate(view_.Table()));
    connect(&view_, &clsListView::KeyUp, this, [this](int key, Qt::KeyboardModifiers) { KeyCommand(key); });
    connect(&view_, &clsListView::Click, this, [this](int, Qt::MouseButton button) {
        if (button == Qt::RightButton)
            ShowMenu();
    });
    connect(&view_, &clsListView::DblClick, this, [this](int item, Qt::MouseButton) {
        if (view_.ListCount() > 0 && view_.SelCount() > 0 && item >= 0 && item < list_.ListCount())
            host_.playRadio(list_.File(item), list_.Title(item), list_.Code(item));
    });
    FollowPointer();
    connect(&view_, &clsListView::FilesDropped, this,
            [this](const QStringList& files, int, int) { ImportFiles(files); });
}

// A press selects as the list's rules say; a held button drags the selected rows.
void StationListView::FollowPointer() {
    connect(&view_, &clsListView::MouseDown, this,
            [this](Qt::MouseButton, int, int y, Qt::KeyboardModifiers modifiers) {
                ops_->PressSelect(*host_.drag, Pointer(y), modifiers);
            });
    connect(&view_, &clsListView::DragBegin, this, [this](int, int, Qt::MouseButton) {
        host_.setDragging(true);
        view_.BlockKey(true);
    });
    connect(&view_, &clsListView::MouseMove, this, [this](int, int y, Qt::KeyboardModifiers) {
        if (!host_.dragging())
            return;
        if (ops_->DragStep(*host_.drag, Pointer(y)))
            view_.EnsureVisible(host_.drag->current);
    });
    const auto endDrag = [this] {
        if (!host_.dragging())
            return;
        host_.setDragging(false);
        view_.BlockKey(false);
    };
    connect(&view_, &clsListView::MouseUp, this, endDrag);
    connect(&view_, &clsListView::LostFocus, this, endDrag);
}

QVariant StationListView::RowRole(int row, int role) const {
    if (row < 0 || row >= list_.ListCount())
        return {};
    switch (role) {
    case kStationRowLookRole: {
        const StationRow r = list_.Row(row);
        return QVariant::fromValue(which_ == KeptList::Jobs ? JobRowLook(r, row, largeFonts_, QLocale())
                                                            : FavoriteRowLook(r, row, largeFonts_));
    }
    case Qt::BackgroundRole: return RowBackground(row);
    case Qt::FontRole: return RowFont(largeFonts_);
    default: return {};
    }
}

void StationListView::FollowList() {
    const int rows = list_.ListCount();
    const int shown = view_.ListCount();
    if (shown < rows) {
        view_.AddRows(rows - shown);
    } else if (shown > rows) {
        view_.Clear();
        view_.AddRows(rows);
    }
    view_.Refresh();
}

PointerRow StationListView::Pointer(int y) const {
    return PointerRow::At(y, view_.Bottom(), [this](int at) { return view_.HitTest(0, at); });
}

QWidget* StationListView::Owner() const {
    return view_.Container() != nullptr ? view_.Container()->window() : nullptr;
}

bool StationListView::Ask(const QString& question) const {
    return QMessageBox::question(Owner(), ProgramTitle(), question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void StationListView::Tell(const QString& message) const {
    QMessageBox::information(Owner(), ProgramTitle(), message);
}

void StationListView::ShowMenu() {
    const bool jobs = which_ == KeptList::Jobs;
    QMenu menu;
    const auto command = [this, &menu](const QString& text, int command) {
        connect(menu.addAction(text), &QAction::triggered, this,
                [this, command] { host_.runCommand(command); });
    };
    command(ui_text::kMenuAddStation, kCmdAdd);
    if (view_.ListCount() > 0 && view_.SelCount() > 0) {
        command(ui_text::kMenuEditStation, kCmdEdit);
        command(ui_text::kMenuDeleteStation, kCmdDelete);
        menu.addSeparator();
        connect(menu.addAction(jobs ? ui_text::kAddToFavorites : ui_text::kAddToJobs), &QAction::triggered,
                this, &StationListView::CopyToOtherList);
    }
    menu.addSeparator();
    if (view_.ListCount() > 0)
        command(ui_text::kMenuExportList, kCmdExport);
    command(ui_text::kMenuImportList, kCmdImport);
    wavelot::ShowMenu(menu, Owner());
}

void StationListView::CopyToOtherList() {
    const bool jobs = which_ == KeptList::Jobs;
    if (!Ask(jobs ? ui_text::kAskCopyToFavorites : ui_text::kAskCopyToJobs))
        return;
    ops_->CopySelectedToOtherList(ClockText(QTime::currentTime()));
}

void StationListView::KeyCommand(int key) {
    switch (ops_->CommandForKey(key)) {
    case StationListOps::KeyCommand::SelectAll: ops_->SelectAll(); break;
    case StationListOps::KeyCommand::ClearSelection: ops_->ClearSelection(); break;
    case StationListOps::KeyCommand::Play: {
        const int row = ops_->SelectedRows().front();
        host_.playRadio(list_.File(row), list_.Title(row), list_.Code(row));
        break;
    }
    case StationListOps::KeyCommand::Delete: DeleteSelected(); break;
    case StationListOps::KeyCommand::None: break;
    }
}

void StationListView::DeleteSelected() {
    if (!Ask(ui_text::kAskDelete))
        return;
    view_.Block(true);
    ops_->DeleteSelected();
    view_.Block(false);
}

void StationListView::ExportList() {
    if (view_.ListCount() == 0)
        return;
    QFileDialog dialog(Owner(), ui_text::kMenuExportList, QDir::homePath(), ui_text::kListFileFilter);
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
    if (!ExportListFile(path, list_, which_ == KeptList::Jobs))
        Tell(ui_text::kListNotWritten + u'\n' + path);
}

void StationListView::ImportList() {
    QFileDialog dialog(Owner(), ui_text::kMenuImportList, QDir::homePath(), ui_text::kListFileFilter);
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
    view_.Block(true);
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
    view_.Block(false);
    if (read && host_.showNotice)
        host_.showNotice(ui_text::ImportCounts(added, already));
    if (!failures.isEmpty())
        Tell(failures.join(u"\n\n"_s));
}

}  // namespace wavelot
