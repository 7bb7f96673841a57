#pragma once
// The station and job editor: a fixed-size modal dialog that adds a favourite or a job, or
// edits the first selected one. Page 1 ("一般設定") holds the station, page 2 ("排程設定",
// jobs only) the schedule. What it opens with and what its OK stores are the rules of
// RadioEdit (scheduler/radio_edit.h); the dialog shows them, collects the controls and keeps
// the list view in step with the list.

#include <QDialog>

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "scheduler/radio_edit.h"
#include "ui/cls_control.h"

namespace wavelot {

class clsListView;
struct StationLists;

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
    clsControl& TabStrip() { return tabStrip_; }
    clsControl& txtRadioName() { return txtRadioName_; }
    clsControl& txtRadioUrl() { return txtRadioUrl_; }
    clsControl& txtComment() { return txtComment_; }
    clsControl& cboCode() { return cboCode_; }
    clsControl& chkStartJob() { return chkStartJob_; }
    clsControl& optEvery() { return optEvery_; }
    clsControl& optSpecific() { return optSpecific_; }
    clsControl& chkDay(int day) { return chkDays_.at(static_cast<size_t>(day - 1)); }
    clsControl& dtpStart() { return dtpStart_; }
    clsControl& dtpStop() { return dtpStop_; }
    clsControl& cboMode() { return cboMode_; }
    clsControl& cmdOK() { return cmdOK_; }
    clsControl& cmdCancel() { return cmdCancel_; }
    QWidget* Page(int n) const { return n == 1 ? page1_ : page2_; }

private:
    struct Twips {
        int left, top, width, height;
    };
    void Build();
    void BuildGeneralPage();
    void BuildSchedulePage();
    void Place(clsControl& c, QWidget* parent, CtrlStyle kind, Twips at, const QString& text = {},
               CtrlBorder border = CtrlBorder::None);
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

    QWidget* tabHost_ = nullptr;
    QWidget* page1_ = nullptr;
    QWidget* page2_ = nullptr;
    clsControl tabStrip_;
    std::vector<std::unique_ptr<clsControl>> labels_;
    clsControl txtRadioName_;
    clsControl txtRadioUrl_;
    clsControl txtComment_;
    clsControl cboCode_;
    clsControl chkStartJob_;
    clsControl optEvery_;
    clsControl optSpecific_;
    std::array<clsControl, 7> chkDays_;
    clsControl dtpStart_;
    clsControl dtpStop_;
    clsControl cboMode_;
    clsControl cmdOK_;
    clsControl cmdCancel_;
};

}  // namespace wavelot
