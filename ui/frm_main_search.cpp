// Main window: the search inputs and the search command.
#include <QCoreApplication>
#include <QPlainTextEdit>

#include "core/app_folders.h"
#include "core/ini_file.h"
#include "core/settings_keys.h"
#include "core/song_array.h"
#include "directories/directory_search.h"
#include "ui/frm_main.h"
#include "ui/screen_metrics.h"

namespace wavelot {

namespace s = settings;

namespace {
const QColor kInputOn(255, 255, 255);
}

void frmMain::SetListviewWidth(int column1, int column2, int column3, int adjustment)
{
    const ColumnLayout layout{column1, column2, column3, adjustment};
    searchView_.SetColumnWidth(1, column1);
    searchView_.SetColumnWidth(2, column2);
    searchView_.SetColumnWidth(3, column3);
    searchView_.SetColumnWidth(0, Column0Width(picListView_->contentsRect().width(), layout));
}

void frmMain::EnableSearchInputs(bool enabled)
{
    for (clsControl* c : {&optGenre_, &optName_, &cmbGenre_, &txtSearch_})
        c->SetEnabled(enabled);
    buttons_[kCmdSearch]->setEnabled(enabled);
    const QColor face = palette().color(QPalette::Button);
    cmbGenre_.SetBackColor(face);
    txtSearch_.SetBackColor(face);
}

void frmMain::UpdateSearchInputs()
{
    const bool byGenre = optGenre_.Checked();
    cmbGenre_.SetEnabled(byGenre);
    txtSearch_.SetEnabled(!byGenre && optName_.Checked());
    const QColor face = palette().color(QPalette::Button);
    cmbGenre_.SetBackColor(cmbGenre_.Enabled() ? kInputOn : face);
    txtSearch_.SetBackColor(txtSearch_.Enabled() ? kInputOn : face);
}

void frmMain::cmbRadioType_Click()
{
    const int index = cmbRadioType_.ListIndex();
    if (index == 0 || index == 1) {
        EnableSearchInputs(true);
        UpdateSearchInputs();
    } else {
        EnableSearchInputs(false);
        buttons_[kCmdSearch]->setEnabled(true);
    }
}

void frmMain::SearchType_Click(int index)
{
    // The two options act as one group.
    optGenre_.SetChecked(index == 0);
    optName_.SetChecked(index == 1);
    UpdateSearchInputs();
    WriteIni(s::kSectionSetting, s::kSearchType, index, SettingFile());
}

void frmMain::RunSearch()
{
    if (searchRunning_)
        return;  // a second click while a search runs
    searchRunning_ = true;
    const int directory = cmbRadioType_.ListIndex();
    searchView_.Clear();
    SearchList().Clear();
    RankingScratchList().Clear();
    txtRichEdit_->clear();

    ColumnLayout layout{};
    if (ColumnLayoutFor(directory, largeFonts_, &layout))
        SetListviewWidth(layout.column1, layout.column2, layout.column3, layout.adjustment);

    searchView_.Container()->setEnabled(false);
    txtSearch_.SetEnabled(false);
    cmbRadioType_.SetEnabled(false);
    searchView_.Block(true);
    QCoreApplication::processEvents();

    SearchRequest request;
    request.directory = directory;
    request.searchKind = optName_.Checked() ? kSearchByName : kSearchByGenre;
    request.genreIndex = cmbGenre_.ListIndex();
    request.text = txtSearch_.text();
    const DirectoryConfig config = LoadDirectoryConfig(SettingFile());
    // Rows are counted while the parser appends and handed to the view in one step at the end:
    // the view is blocked meanwhile, and one model insert costs less than thousands.
    const SearchOutcome outcome = RunDirectorySearch(request, config, SettingFolder() + QString::fromUtf16(kRadioFileName),
                                                     SearchList(), RankingScratchList(), {});
    txtRichEdit_->setPlainText(outcome.rawText);
    searchView_.Clear();
    searchView_.AddRows(SearchList().ListCount());
    if (request.searchKind == kSearchByName && (directory == 0 || directory == 1))
        txtSearch_.SetEnabled(true);

    cmbRadioType_.SetEnabled(true);
    searchView_.Container()->setEnabled(true);
    searchView_.Block(false);
    // Inputs that the directory choice governs get their state back as the choice says.
    cmbRadioType_Click();
    searchRunning_ = false;
}

}  // namespace wavelot
