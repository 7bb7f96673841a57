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
#include "ui/screen_metrics.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabBar;
class QTimeEdit;

namespace wavelot {

class ListView;
struct StationLists;

class frmRadioEdit : public QDialog {
    Q_OBJECT
public:
    // tab: the main window's tab (2 favourites, 3 jobs); view: that tab's list view, showing the
    // list the dialog stores into (null on the other tabs).
    frmRadioEdit(StationLists& lists, int tab, ListView* view, QWidget* parent = nullptr);

    // Builds and fills the dialog and shows it modally over owner. edit: edit the first
    // selected row of the view (nothing happens when none is selected); otherwise add.
    void Open(QWidget* owner, bool edit);

    // The inputs, made when the dialog opens.
    struct Widgets {
        QTabBar* tabStrip = nullptr;
        QWidget* page1 = nullptr;
        QWidget* page2 = nullptr;
        QLineEdit* txtRadioName = nullptr;
        QLineEdit* txtRadioUrl = nullptr;
        QLineEdit* txtComment = nullptr;
        QComboBox* cboCode = nullptr;
        QCheckBox* chkStartJob = nullptr;
        QRadioButton* optEvery = nullptr;
        QRadioButton* optSpecific = nullptr;
        std::array<QCheckBox*, 7> chkDays{};  // Sunday to Saturday
        QTimeEdit* dtpStart = nullptr;
        QTimeEdit* dtpStop = nullptr;
        QComboBox* cboMode = nullptr;
        QPushButton* cmdOK = nullptr;
        QPushButton* cmdCancel = nullptr;
    };
    const Widgets& Inputs() const { return ui_; }
    // A day's box by WeekMark day number, Sunday 1 to Saturday 7.
    QCheckBox* chkDay(int day) const { return ui_.chkDays.at(static_cast<size_t>(day - 1)); }

private:
    void Build();
    void BuildGeneralPage();
    void BuildSchedulePage();
    // The design's twips in pixels of this screen; single-line inputs take the screen's input height.
    QRect Px(Twips at, bool input = false) const;
    void Label(QWidget* page, const QString& text, Twips at);
    void Fill(const RadioEditFields& f);
    RadioEditFields Collect() const;
    void SetWeekly(bool weekly);
    // Stores the inputs and closes the dialog, unless the station has no address.
    void Store();

    StationLists& lists_;
    const int tab_;
    ListView* view_;
    std::optional<RadioEdit> edit_;
    int twipsPerPixel_ = 15;
    int controlHeight_ = 22;

    Widgets ui_;
};

}  // namespace wavelot
