#pragma once
// The search tab: the directory, genre and name inputs, the search button's place, the result
// list and the raw-text box. The search itself is DirectorySearch's; this page disables its
// inputs while it runs, shows the rows it found and the answer it read, and reports what the
// user does with a row.

#include <QWidget>

#include "core/song_array.h"
#include "ui/list_view.h"

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace wavelot {

class DirectorySearch;
class Settings;

class SearchPage : public QWidget {
    Q_OBJECT
public:
    // searchButton: command button 0, which stands in the search row.
    SearchPage(DirectorySearch& search, const Settings& settings, QWidget* searchButton,
               QWidget* parent = nullptr);

    // Creates the inputs (restoring the genre, the name and the search type from the settings)
    // and the result list.
    void Build(bool largeFonts, int controlHeight);
    void Layout();
    void RunSearch();
    // Plays the selected result row as a double click does; false when no row is selected.
    bool PlaySelected();
    void SetListviewWidth(int column1, int column2, int column3, int adjustment);
    // The shutdown writes the genre and the search box's text.
    void SaveInputs() const;

    QComboBox* cmbRadioType() const { return cmbRadioType_; }
    QComboBox* cmbGenre() const { return cmbGenre_; }
    QLineEdit* txtSearch() const { return txtSearch_; }
    QRadioButton* SearchType(int index) const { return index == 0 ? optGenre_ : optName_; }
    // The result list; none before Build.
    ListView* ResultList() const { return results_; }
    QPlainTextEdit* txtRichEdit() const { return txtRichEdit_; }

Q_SIGNALS:
    // A result row was double-clicked.
    void PlayRequested(const QString& url, const QString& name, int code);
    // The row's menu: "加入我的最愛" (0) or "加入排程工作" (1).
    void CopyRequested(const StationRow& row, int target);
    // Enter in the name box while searching by name.
    void SearchRequested();
    // A line for the status bar: "搜尋中 . . ." when a search starts; when it ends, how it went
    // (empty when it found stations). `failure` marks a search that could not be done.
    void SearchStatusChanged(const QString& line, bool failure);

protected:
    // Enter in the name box: a search by name, and the key goes no further.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildInputs();
    void BuildList();
    void cmbRadioType_Click();
    void SearchType_Click(int index);
    void EnableSearchInputs(bool enabled);
    void UpdateSearchInputs();
    void ShowResultMenu();
    void SortResults(int column);
    // false when row is no result.
    bool PlayRow(int row);

    DirectorySearch& search_;
    const Settings& settings_;
    QWidget* searchButton_;
    bool largeFonts_ = false;
    int controlHeight_ = 22;

    QPlainTextEdit* txtRichEdit_ = nullptr;
    QComboBox* cmbRadioType_ = nullptr;
    QComboBox* cmbGenre_ = nullptr;
    QLineEdit* txtSearch_ = nullptr;
    QRadioButton* optGenre_ = nullptr;
    QRadioButton* optName_ = nullptr;
    ListView* results_ = nullptr;
    // The last column click sorted the results descending (the next one sorts ascending).
    bool sortedDescending_ = false;
};

}  // namespace wavelot
