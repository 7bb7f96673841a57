#pragma once
// The storing rules of the station and job editor: what the dialog opens with and what its OK
// writes into which list and field. The dialog only shows these values and collects them.
//
// The main window's tab decides the list: tab 2 the favourites, tab 3 the jobs; on any other
// tab the dialog shows both pages and stores nothing. Editing works on one row, the first
// selected row of that tab's list at the moment the dialog opened.

#include <QString>
#include <QTime>

namespace wavelot {

struct StationLists;

// One value per control of the dialog.
struct RadioEditFields {
    QString name;
    QString url;
    QString comment;
    int code = 0;         // position in the encoding list, 0..4
    bool runJob = false;  // "啟動排程工作"
    bool weekly = false;  // "每週" chosen; "每天" otherwise
    int dayMask = 0;      // WeekMark bits of the checked day boxes, enabled or not
    QTime start;          // the start and stop pickers
    QTime stop;
    int mode = 0;  // schedule mode list: 0 play, 1 record, 2 record only
    bool operator==(const RadioEditFields&) const = default;
};

class RadioEdit {
public:
    enum class Target { None, Favorites, Jobs };
    enum class Outcome {
        Refused,  // the address is empty: nothing stored, the dialog stays open
        Nothing,  // a tab without a list: nothing stored, the dialog closes
        Updated,  // row was changed
        Appended  // row was appended
    };
    struct Result {
        Outcome outcome = Outcome::Refused;
        int row = -1;
    };

    // tab: the main window's 1-based tab. editRow: the row to edit, -1 to add.
    RadioEdit(StationLists& lists, int tab, int editRow);

    Target target() const { return target_; }
    bool Editing() const { return editRow_ >= 0; }
    // The favourites have no schedule: one page, and no "啟動排程工作".
    bool ShowsSchedule() const { return target_ != Target::Favorites; }

    // What the dialog opens with; now is the time of day both pickers start at (and keep when
    // the stored time cannot be read).
    RadioEditFields Load(const QTime& now) const;
    // Stores and announces the change of the list (StationLists::changes).
    Result Store(RadioEditFields fields) const;

private:
    Result StoreInList(RadioEditFields f) const;

    StationLists& lists_;
    Target target_;
    int editRow_;
};

// JobType of a job saved with these choices: weekly only when at least one day is checked, so
// a weekly choice without a day becomes every day.
int JobTypeFor(bool weekly, int dayMask);

}  // namespace wavelot
