#pragma once
// The station and job editor: a fixed-size modal dialog that adds a favourite or a job, or
// edits the first selected one. Page 1 ("一般設定") holds the station, page 2 ("排程設定",
// jobs only) the schedule. What it opens with and what its OK stores are the rules of
// RadioEdit (scheduler/radio_edit.h); the dialog shows them, collects the controls and keeps
// the list view in step with the list.

#include <QDialog>

#include <array>
#include <optional>

#include "scheduler/radio_edit.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabBar;
class QTimeEdit;

namespace wavelot {

class clsListView;
struct StationLists;

// A rectangle of the editor's design, in twips.
struct Twips {
    int left, top, width, height;
};

class frmRadioEdit : public QDialog {
    Q_OBJECT
public:
    // tab: the main window's tab (2 favourites, 3 jobs); view: that tab's list view, showing the
    // list the dialog stores into (null on the other tabs).
    frmRadioEdit(StationLists& lists, int tab, clsListView* view, QWidget* parent = nullptr);
    ~frmRadioEdit() override;

    // Builds and fills the dialog and shows it modally over owner. lEdit: edit the first
    // selected row of the view (nothing happens when none is selected); otherwise add.
    void LoadMe(QWidget* owner, bool lEdit);

    // Parts, for tests. Day boxes by WeekMark day number, Sunday 1 to Saturday 7.
    QTabBar* TabStrip() const { return tabStrip_; }
    QLineEdit* txtRadioName() const { return txtRadioName_; }
    QLineEdit* txtRadioUrl() const { return txtRadioUrl_; }
    QLineEdit* txtComment() const { return txtComment_; }
    QComboBox* cboCode() const { return cboCode_; }
    QCheckBox* chkStartJob() const { return chkStartJob_; }
    QRadioButton* optEvery() const { return optEvery_; }
    QRadioButton* optSpecific() const { return optSpecific_; }
    QCheckBox* chkDay(int day) const { return chkDays_.at(static_cast<size_t>(day - 1)); }
    QTimeEdit* dtpStart() const { return dtpStart_; }
    QTimeEdit* dtpStop() const { return dtpStop_; }
    QComboBox* cboMode() const { return cboMode_; }
    QPushButton* cmdOK() const { return cmdOK_; }
    QPushButton* cmdCancel() const { return cmdCancel_; }
    QWidget* Page(int n) const { return n == 1 ? page1_ : page2_; }

private:
    void Build();
    void BuildGeneralPage();
    void BuildSchedulePage();
    // The design's twips in pixels of this screen; single-line inputs take the screen's input height.
    QRect Px(Twips at, bool input = false) const;
    void Label(QWidget* page, const QString& text, Twips at);
    void Fill(const RadioEditFields& f);
    RadioEditFields Collect() const;
    void TabStrip_Click();
    void SetWeekly(bool weekly);
    void cmdOK_Click();

    StationLists& lists_;
    const int tab_;
    clsListView* view_;
    std::optional<RadioEdit> edit_;
    int twipsPerPixel_ = 15;
    int controlHeight_ = 22;

    QWidget* page1_ = nullptr;
    QWidget* page2_ = nullptr;
    QTabBar* tabStrip_ = nullptr;
    QLineEdit* txtRadioName_ = nullptr;
    QLineEdit* txtRadioUrl_ = nullptr;
    QLineEdit* txtComment_ = nullptr;
    QComboBox* cboCode_ = nullptr;
    QCheckBox* chkStartJob_ = nullptr;
    QRadioButton* optEvery_ = nullptr;
    QRadioButton* optSpecific_ = nullptr;
    std::array<QCheckBox*, 7> chkDays_{};
    QTimeEdit* dtpStart_ = nullptr;
    QTimeEdit* dtpStop_ = nullptr;
    QComboBox* cboMode_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
};

}  // namespace wavelot
