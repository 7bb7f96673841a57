// The editor's rules the window tests do not reach: what an odd record opens as, an empty
// address, a tab without a list, and the days kept with "每天".
#include <gtest/gtest.h>

#include "core/list_files.h"
#include "core/station_lists.h"
#include "scheduler/job_time.h"
#include "scheduler/radio_edit.h"

using namespace Qt::StringLiterals;

namespace wavelot {
namespace {

TEST(RadioEdit, OddRecordsOpenSoundlyAndOnlyAnAddressedJobIsStored) {
    StationLists lists;
    const StationRow old{.file = u"u"_s,
                         .code = 9,
                         .jobMode = 7,
                         .jobType = 2,
                         .jobStart = u"2024/01/05 7:05:09 PM"_s,
                         .jobStop = u"never"_s,
                         .weekMark = 68};
    lists.jobList.AddItem(old);
    RadioEditFields f = RadioEdit(lists, kTabJobs, 0).Load(QTime(12, 0));
    EXPECT_EQ(
        f, (RadioEditFields{
               .url = u"u"_s, .weekly = true, .dayMask = 68, .start = QTime(19, 5, 9), .stop = QTime(12, 0)}))
        << "an unknown code opens as UTF-8, an unknown mode as play, an unreadable time as now";
    EXPECT_EQ(RadioEdit(lists, kTabJobs, 0).Store({}).outcome, RadioEdit::Outcome::Refused);
    EXPECT_EQ(RadioEdit(lists, 1, 0).Store(f).outcome, RadioEdit::Outcome::Nothing);
    EXPECT_EQ(lists.jobList.Row(0), old);
    f.weekly = false;
    RadioEdit(lists, kTabJobs, 0).Store(f);
    EXPECT_EQ(lists.jobList.Row(0), (StationRow{.file = u"u"_s,
                                                .title = u"u"_s,
                                                .jobStart = u"19:05:09"_s,
                                                .jobStop = u"12:00:00"_s,
                                                .weekMark = 68}));
    lists.jobList.SetJobMode(0, kJobModeRecordOnly);
    EXPECT_EQ(RadioEdit(lists, kTabJobs, 0).Load(QTime()).mode, kJobModeRecordOnly);
}

}  // namespace
}  // namespace wavelot
