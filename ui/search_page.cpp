#include "ui/search_page.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPlainTextEdit>

#include "core/settings.h"
#include "directories/directory_search.h"
#include "directories/search_status.h"
#include "ui/controls.h"
#include "ui/main_window_texts.h"
#include "ui/menus.h"
#include "ui/screen_metrics.h"

namespace wavelot {

namespace {
const QColor kInputOn(255, 255, 255);
const QColor kListBack(51, 51, 51);
const QColor kSelectedBack(102, 102, 102);
const QColor kSelectedText(238, 238, 238);
const QColor kOddBack(51, 51, 51);
const QColor kOddText(170, 170, 170);
const QColor kEvenBack(58, 58, 58);
const QColor kEvenText(153, 153, 153);
constexpr int kListTop = 30;

// SHOUTcast, Icecast and Radio-Browser take a genre or a name; the listings are fetched whole.
bool HasSearchInputs(int directory) {
    return directory >= 0 && directory < kDirectoryCount && kDirectories[directory].hasSearchInputs;
}

// The results, their rows in alternating colours.
class ResultModel : public SongListModel {
public:
    explicit ResultModel(clsSongArray& results)
        : SongListModel(results, {{ui_text::kSearchColumns[0], &clsSongArray::Title},
                                  {ui_text::kSearchColumns[1], &clsSongArray::Comment, Qt::AlignRight},
                                  {ui_text::kSearchColumns[2], &clsSongArray::BitRate, Qt::AlignRight},
                                  {ui_text::kSearchColumns[3], &clsSongArray::Listeners, Qt::AlignRight}}) {}

    QVariant data(const QModelIndex& index, int role) const override {
        const bool odd = index.row() % 2 == 1;
        if (role == Qt::BackgroundRole)
            return odd ? kOddBack : kEvenBack;
        if (role == Qt::ForegroundRole)
            return odd ? kOddText : kEvenText;
        return SongListModel::data(index, role);
    }
};

}  // namespace

SearchPage::SearchPage(DirectorySearch& search, const Settings& settings, QWidget* searchButton,
                       QWidget* parent)
    : QWidget(parent), search_(search), settings_(settings), searchButton_(searchButton) {
    setObjectName(QStringLiteral("picListView"));
    setAutoFillBackground(true);  // opaque: the play-log list lies under it
    txtRichEdit_ = new QPlainTextEdit(this);
    txtRichEdit_->setObjectName(QStringLiteral("txtRichEdit"));
    // Holds the last directory answer; it keeps its design place out of sight.
    txtRichEdit_->setGeometry(0, 0, 10, 10);
    txtRichEdit_->hide();
}

void SearchPage::Build(bool largeFonts, int controlHeight) {
    largeFonts_ = largeFonts;
    controlHeight_ = controlHeight;
    BuildInputs();
    BuildList();
    const int searchType = settings_.SearchType();
    optGenre_->setChecked(searchType == 0);
    optName_->setChecked(searchType == 1);
    cmbRadioType_Click();
}

void SearchPage::BuildInputs() {
    // Laid out by Layout, in the order they stand.
    cmbRadioType_ = PlaceInput<QComboBox>(this, {});
    cmbGenre_ = PlaceInput<QComboBox>(this, {});
    txtSearch_ = PlaceInput<QLineEdit>(this, {});
    optGenre_ = PlaceInput<QRadioButton>(this, {});
    optName_ = PlaceInput<QRadioButton>(this, {});
    for (QWidget* w : {static_cast<QWidget*>(cmbRadioType_), static_cast<QWidget*>(cmbGenre_),
                       static_cast<QWidget*>(txtSearch_), searchButton_})
        w->setFixedHeight(controlHeight_);

    for (const DirectoryInfo& d : kDirectories)
        cmbRadioType_->addItem(QString::fromUtf16(d.shown));
    const int directory = settings_.SearchDirectory();
    cmbRadioType_->setCurrentIndex(directory >= 0 && directory < kDirectoryCount ? directory : 0);
    // Only the user's choice is stored, at once; a key never written keeps the first directory.
    connect(cmbRadioType_, &QComboBox::activated, this, [this] {
        settings_.WriteSearchDirectory(cmbRadioType_->currentIndex());
        cmbRadioType_Click();
    });

    for (const GenreInfo& g : kGenres)
        cmbGenre_->addItem(QString::fromUtf16(g.shown));
    cmbGenre_->setCurrentIndex(settings_.SearchGenre());

    connect(optGenre_, &QRadioButton::clicked, this, [this] { SearchType_Click(0); });
    connect(optName_, &QRadioButton::clicked, this, [this] { SearchType_Click(1); });

    txtSearch_->setText(settings_.SearchName());
    txtSearch_->installEventFilter(this);
}

bool SearchPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtSearch_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (optName_->isChecked())
                Q_EMIT SearchRequested();
            return true;  // swallowed: no beep, no default action
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SearchPage::BuildList() {
    results_ = new ListView(this, {.geometry = {0, kListTop, 641, 377}, .rowHeight = 24},
                            new ResultModel(search_.Results()));
    results_->SetColors(kEvenText, kListBack);
    results_->SetSelectionColors(kSelectedText, kSelectedBack);
    const int widths[] = {SearchTitleColumnWidthFor(largeFonts_), 50, 80, 55};
    for (int column : {0, 1, 2, 3})
        results_->setColumnWidth(column, widths[column]);
    results_->setObjectName(QStringLiteral("clsListView"));
    connect(results_, &QWidget::customContextMenuRequested, this, &SearchPage::ShowResultMenu);
    connect(results_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (results_->FirstSelected() >= 0)
            PlayRow(index.row());
    });
    connect(results_->horizontalHeader(), &QHeaderView::sectionClicked, this, &SearchPage::SortResults);
}

bool SearchPage::PlaySelected() {
    return results_ != nullptr && PlayRow(results_->FirstSelected());
}

bool SearchPage::PlayRow(int row) {
    const clsSongArray& list = search_.Results();
    if (row < 0 || row >= list.ListCount())
        return false;
    search_.ReportPlayed(list.File(row));  // queued; the connect does not wait for it
    Q_EMIT PlayRequested(list.File(row), list.Title(row), list.Code(row));
    return true;
}

void SearchPage::Layout() {
    if (cmbRadioType_ == nullptr)
        return;  // the inputs come with Build
    // Directory, genre option and box, name option and box, search button.
    const int w = width();
    const int ch = controlHeight_;
    cmbRadioType_->setGeometry(0, 3, 118, ch);
    optGenre_->setGeometry(124, 3, 20, ch);
    cmbGenre_->setGeometry(144, 3, 196, ch);
    optName_->setGeometry(348, 3, 20, ch);
    const int buttonLeft = w - 72;
    txtSearch_->setGeometry(368, 3, buttonLeft - 6 - 368, ch);
    searchButton_->setGeometry(buttonLeft, 3, 72, ch);
    results_->Place({0, kListTop, w, height() - kListTop});
}

void SearchPage::SaveInputs() const {
    settings_.WriteSearchGenre(cmbGenre_->currentIndex());
    settings_.WriteSearchName(txtSearch_->text());
}

void SearchPage::SetListviewWidth(int column1, int column2, int column3, int adjustment) {
    const ColumnLayout layout{column1, column2, column3, adjustment};
    const int widths[] = {Column0Width(contentsRect().width(), layout), column1, column2, column3};
    // Qt keeps a 0-wide section clickable: such a column is hidden instead.
    for (int column : {1, 2, 3, 0}) {
        results_->setColumnHidden(column, widths[column] <= 0);
        if (widths[column] > 0)
            results_->setColumnWidth(column, widths[column]);
    }
}

void SearchPage::EnableSearchInputs(bool enabled) {
    for (QWidget* w : {static_cast<QWidget*>(optGenre_), static_cast<QWidget*>(optName_),
                       static_cast<QWidget*>(cmbGenre_), static_cast<QWidget*>(txtSearch_), searchButton_})
        w->setEnabled(enabled);
    const QColor face = palette().color(QPalette::Button);
    SetBackColor(cmbGenre_, face);
    SetBackColor(txtSearch_, face);
}

void SearchPage::UpdateSearchInputs() {
    const bool byGenre = optGenre_->isChecked();
    const bool byName = !byGenre && optName_->isChecked();
    cmbGenre_->setEnabled(byGenre);
    txtSearch_->setEnabled(byName);
    const QColor face = palette().color(QPalette::Button);
    SetBackColor(cmbGenre_, byGenre ? kInputOn : face);
    SetBackColor(txtSearch_, byName ? kInputOn : face);
}

void SearchPage::cmbRadioType_Click() {
    if (HasSearchInputs(cmbRadioType_->currentIndex())) {
        EnableSearchInputs(true);
        UpdateSearchInputs();
    } else {
        EnableSearchInputs(false);
        searchButton_->setEnabled(true);
    }
}

void SearchPage::SearchType_Click(int index) {
    // The two options act as one group.
    optGenre_->setChecked(index == 0);
    optName_->setChecked(index == 1);
    UpdateSearchInputs();
    settings_.WriteSearchType(index);
}

void SearchPage::RunSearch() {
    if (search_.Running())
        return;  // a second click while a search runs
    const int directory = cmbRadioType_->currentIndex();
    search_.Results().Clear();
    results_->Rows().Follow();
    txtRichEdit_->clear();

    ColumnLayout layout{};
    if (ColumnLayoutFor(directory, largeFonts_, &layout))
        SetListviewWidth(layout.column1, layout.column2, layout.column3, layout.adjustment);

    results_->Frame()->setEnabled(false);
    txtSearch_->setEnabled(false);
    cmbRadioType_->setEnabled(false);
    results_->setUpdatesEnabled(false);
    Q_EMIT SearchStatusChanged(ui_text::kSearching, false);
    QCoreApplication::processEvents();

    const SearchRequest request{.directory = directory,
                                .searchKind = optName_->isChecked() ? kSearchByName : kSearchByGenre,
                                .genreIndex = cmbGenre_->currentIndex(),
                                .text = txtSearch_->text()};
    // Rows are counted while the parser appends and handed to the view in one step at the end:
    // the view is blocked meanwhile, and one model insert costs less than thousands.
    const SearchOutcome outcome = search_.Run(request);
    txtRichEdit_->setPlainText(search_.RawText());
    results_->Rows().Follow();
    if (request.searchKind == kSearchByName && HasSearchInputs(directory))
        txtSearch_->setEnabled(true);

    cmbRadioType_->setEnabled(true);
    results_->Frame()->setEnabled(true);
    results_->setUpdatesEnabled(true);
    // Inputs that the directory choice governs get their state back as the choice says.
    cmbRadioType_Click();
    Q_EMIT SearchStatusChanged(SearchStatusLine(outcome), IsSearchFailure(outcome.status));
}

void SearchPage::ShowResultMenu() {
    const int row = results_->FirstSelected();
    if (row < 0 || row >= search_.Results().ListCount())
        return;
    const StationRow station = search_.Results().Row(row);
    QMenu menu;
    QAction* favorites = menu.addAction(ui_text::kAddToFavorites);
    QAction* jobs = menu.addAction(ui_text::kAddToJobs);
    if (QAction* chosen = ShowMenu(menu, window()); chosen == favorites || chosen == jobs)
        Q_EMIT CopyRequested(station, chosen == favorites ? 0 : 1);
}

void SearchPage::SortResults(int column) {
    if (results_->Rows().rowCount() <= 1)
        return;
    results_->setUpdatesEnabled(false);
    // One order flag for the whole list, not per column: clicks alternate whatever the column.
    search_.Results().Sort(sortedDescending_, column);
    sortedDescending_ = !sortedDescending_;
    results_->setUpdatesEnabled(true);
    results_->Rows().Refresh();
}

}  // namespace wavelot
