#include "ui/search_page.h"

#include <QCoreApplication>
#include <QPlainTextEdit>

#include "core/settings.h"
#include "directories/directory_search.h"
#include "directories/search_status.h"
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

QWidget* MakeHost(QWidget* parent, const char* name) {
    auto* host = new QWidget(parent);
    host->setObjectName(QString::fromLatin1(name));
    host->show();  // made after the window was shown, so it must be shown itself
    return host;
}
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
    optGenre_.SetChecked(searchType == 0);
    optName_.SetChecked(searchType == 1);
    cmbRadioType_Click();
}

void SearchPage::BuildInputs() {
    picRadioType_ = MakeHost(this, "picRadioType");
    picGenre_ = MakeHost(this, "picGenre");
    picSearch_ = MakeHost(this, "picSearch");
    picOptGenre_ = MakeHost(this, "picOptGenre");
    picOptName_ = MakeHost(this, "picOptName");
    for (QWidget* h : {picRadioType_, picGenre_, picSearch_, searchButton_})
        h->setFixedHeight(controlHeight_);

    cmbRadioType_.SetTargetPictureBox(picRadioType_);
    cmbRadioType_.Create(CtrlStyle::DropDownList);
    for (const DirectoryInfo& d : kDirectories)
        cmbRadioType_.AddItem(QString::fromUtf16(d.shown));
    const int directory = settings_.SearchDirectory();
    cmbRadioType_.SetListIndex(directory >= 0 && directory < kDirectoryCount ? directory : 0);
    // Only the user's choice is stored, at once; a key never written keeps the first directory.
    connect(&cmbRadioType_, &clsControl::Click, this, [this] {
        settings_.WriteSearchDirectory(cmbRadioType_.ListIndex());
        cmbRadioType_Click();
    });

    cmbGenre_.SetTargetPictureBox(picGenre_);
    cmbGenre_.Create(CtrlStyle::DropDownList);
    for (const GenreInfo& g : kGenres)
        cmbGenre_.AddItem(QString::fromUtf16(g.shown));
    cmbGenre_.SetListIndex(settings_.SearchGenre());

    optGenre_.SetTargetPictureBox(picOptGenre_);
    optGenre_.Create(CtrlStyle::OptionButton);
    optName_.SetTargetPictureBox(picOptName_);
    optName_.Create(CtrlStyle::OptionButton);
    connect(&optGenre_, &clsControl::Click, this, [this] { SearchType_Click(0); });
    connect(&optName_, &clsControl::Click, this, [this] { SearchType_Click(1); });

    txtSearch_.SetTargetPictureBox(picSearch_);
    txtSearch_.BorderStyle(CtrlBorder::Static);
    txtSearch_.Create(CtrlStyle::TextBox);
    txtSearch_.setText(settings_.SearchName());
    connect(&txtSearch_, &clsControl::KeyDown, this, [this](int& key, Qt::KeyboardModifiers) {
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return;
        key = 0;  // swallowed: no beep, no default action
        if (optName_.Checked())
            Q_EMIT SearchRequested();
    });
}

void SearchPage::BuildList() {
    searchView_.Create(this, LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL, 0, kListTop, 641, 377, 1, 24,
                       WS_EX_STATICEDGE);
    searchView_.SetLVStyle(LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    searchView_.BackColor(kListBack);
    searchView_.ColumnAdd(0, SearchTitleColumnWidthFor(largeFonts_), ui_text::kSearchColumns[0], 0);
    searchView_.ColumnAdd(1, 50, ui_text::kSearchColumns[1], 1);
    searchView_.ColumnAdd(2, 80, ui_text::kSearchColumns[2], 1);
    searchView_.ColumnAdd(3, 55, ui_text::kSearchColumns[3], 1);
    searchView_.hWnd()->setObjectName(QStringLiteral("clsListView"));
    connect(&searchView_, &clsListView::OnData, this, [this](int item, int sub, QString& text) {
        const clsSongArray& list = search_.Results();
        switch (sub) {
        case 0: text = list.Title(item); break;
        case 1: text = list.Comment(item); break;
        case 2: text = list.BitRate(item); break;
        case 3: text = list.Listeners(item); break;
        default: break;
        }
    });
    connect(&searchView_, &clsListView::CustomDraw, this, &SearchPage::clsSearch_CustomDraw);
    connect(&searchView_, &clsListView::Click, this, &SearchPage::clsSearch_Click);
    connect(&searchView_, &clsListView::DblClick, this, [this](int item, Qt::MouseButton) {
        if (searchView_.ListCount() == 0 || searchView_.SelCount() == 0 || item < 0)
            return;
        PlayRow(item);
    });
    connect(&searchView_, &clsListView::ColumnClick, this, &SearchPage::clsSearch_ColumnClick);
}

bool SearchPage::PlaySelected() {
    const int row = searchView_.ListCount() > 0 ? searchView_.NextSelected(-1) : -1;
    if (row < 0 || row >= search_.Results().ListCount())
        return false;
    PlayRow(row);
    return true;
}

void SearchPage::PlayRow(int row) {
    const clsSongArray& list = search_.Results();
    search_.ReportPlayed(list.File(row));  // queued; the connect does not wait for it
    Q_EMIT PlayRequested(list.File(row), list.Title(row), list.Code(row));
}

void SearchPage::Layout() {
    if (picRadioType_ == nullptr)
        return;  // the inputs come with Build
    // Directory, genre option and box, name option and box, search button.
    const int w = width();
    const int ch = controlHeight_;
    picRadioType_->setGeometry(0, 3, 118, ch);
    picOptGenre_->setGeometry(124, 3, 20, ch);
    picGenre_->setGeometry(144, 3, 196, ch);
    picOptName_->setGeometry(348, 3, 20, ch);
    const int buttonLeft = w - 72;
    picSearch_->setGeometry(368, 3, buttonLeft - 6 - 368, ch);
    searchButton_->setGeometry(buttonLeft, 3, 72, ch);
    searchView_.Move(0, kListTop, w, height() - kListTop);
}

void SearchPage::SaveInputs() const {
    settings_.WriteSearchGenre(cmbGenre_.ListIndex());
    settings_.WriteSearchName(txtSearch_.text());
}

void SearchPage::SetListviewWidth(int column1, int column2, int column3, int adjustment) {
    const ColumnLayout layout{column1, column2, column3, adjustment};
    searchView_.SetColumnWidth(1, column1);
    searchView_.SetColumnWidth(2, column2);
    searchView_.SetColumnWidth(3, column3);
    searchView_.SetColumnWidth(0, Column0Width(contentsRect().width(), layout));
}

void SearchPage::EnableSearchInputs(bool enabled) {
    for (clsControl* c : {&optGenre_, &optName_, &cmbGenre_, &txtSearch_})
        c->SetEnabled(enabled);
    searchButton_->setEnabled(enabled);
    const QColor face = palette().color(QPalette::Button);
    cmbGenre_.SetBackColor(face);
    txtSearch_.SetBackColor(face);
}

void SearchPage::UpdateSearchInputs() {
    const bool byGenre = optGenre_.Checked();
    cmbGenre_.SetEnabled(byGenre);
    txtSearch_.SetEnabled(!byGenre && optName_.Checked());
    const QColor face = palette().color(QPalette::Button);
    cmbGenre_.SetBackColor(cmbGenre_.Enabled() ? kInputOn : face);
    txtSearch_.SetBackColor(txtSearch_.Enabled() ? kInputOn : face);
}

void SearchPage::cmbRadioType_Click() {
    if (HasSearchInputs(cmbRadioType_.ListIndex())) {
        EnableSearchInputs(true);
        UpdateSearchInputs();
    } else {
        EnableSearchInputs(false);
        searchButton_->setEnabled(true);
    }
}

void SearchPage::SearchType_Click(int index) {
    // The two options act as one group.
    optGenre_.SetChecked(index == 0);
    optName_.SetChecked(index == 1);
    UpdateSearchInputs();
    settings_.WriteSearchType(index);
}

void SearchPage::RunSearch() {
    if (search_.Running())
        return;  // a second click while a search runs
    const int directory = cmbRadioType_.ListIndex();
    searchView_.Clear();
    search_.Results().Clear();
    txtRichEdit_->clear();

    ColumnLayout layout{};
    if (ColumnLayoutFor(directory, largeFonts_, &layout))
        SetListviewWidth(layout.column1, layout.column2, layout.column3, layout.adjustment);

    searchView_.Container()->setEnabled(false);
    txtSearch_.SetEnabled(false);
    cmbRadioType_.SetEnabled(false);
    searchView_.Block(true);
    Q_EMIT SearchStatusChanged(ui_text::kSearching, false);
    QCoreApplication::processEvents();

    const SearchRequest request{.directory = directory,
                                .searchKind = optName_.Checked() ? kSearchByName : kSearchByGenre,
                                .genreIndex = cmbGenre_.ListIndex(),
                                .text = txtSearch_.text()};
    // Rows are counted while the parser appends and handed to the view in one step at the end:
    // the view is blocked meanwhile, and one model insert costs less than thousands.
    const SearchOutcome outcome = search_.Run(request);
    txtRichEdit_->setPlainText(search_.RawText());
    searchView_.Clear();
    searchView_.AddRows(search_.Results().ListCount());
    if (request.searchKind == kSearchByName && HasSearchInputs(directory))
        txtSearch_.SetEnabled(true);

    cmbRadioType_.SetEnabled(true);
    searchView_.Container()->setEnabled(true);
    searchView_.Block(false);
    // Inputs that the directory choice governs get their state back as the choice says.
    cmbRadioType_Click();
    Q_EMIT SearchStatusChanged(SearchStatusLine(outcome), IsSearchFailure(outcome.status));
}

void SearchPage::clsSearch_CustomDraw(NMLVCustomDraw& rec, int& result) {
    if (rec.dwDrawStage == CDDS_PREPAINT) {
        result = CDRF_NOTIFYITEMDRAW;
        return;
    }
    if (rec.dwDrawStage != CDDS_ITEMPREPAINT || !searchView_.ItemVisible(rec.dwItemSpec))
        return;
    rec.uItemState &= ~(CDIS_SELECTED | CDIS_FOCUS);
    if (searchView_.Selected(rec.dwItemSpec)) {
        rec.clrTextBk = kSelectedBack;
        rec.clrText = kSelectedText;
    } else if (rec.dwItemSpec % 2 == 1) {
        rec.clrTextBk = kOddBack;
        rec.clrText = kOddText;
    } else {
        rec.clrTextBk = kEvenBack;
        rec.clrText = kEvenText;
    }
    result = CDRF_DODEFAULT;
}

void SearchPage::clsSearch_Click(int, Qt::MouseButton button) {
    if (button != Qt::RightButton || searchView_.ListCount() == 0 || searchView_.SelCount() == 0)
        return;
    const int row = searchView_.NextSelected(-1);
    if (row < 0)
        return;
    const StationRow station = search_.Results().Row(row);
    QMenu menu;
    QAction* favorites = menu.addAction(ui_text::kAddToFavorites);
    QAction* jobs = menu.addAction(ui_text::kAddToJobs);
    if (QAction* chosen = ShowMenu(menu, window()); chosen == favorites || chosen == jobs)
        Q_EMIT CopyRequested(station, chosen == favorites ? 0 : 1);
}

void SearchPage::clsSearch_ColumnClick(int index) {
    if (searchView_.ListCount() <= 1)
        return;
    searchView_.Block(true);
    // One order flag for the whole list, not per column: clicks alternate whatever the column.
    clsSongArray& list = search_.Results();
    if (searchView_.SortOrder() == 1) {
        list.Sort(true, index);
        searchView_.SetSortOrder(0);
    } else {
        list.Sort(false, index);
        searchView_.SetSortOrder(1);
    }
    searchView_.Block(false);
    searchView_.Refresh();
}

}  // namespace wavelot
