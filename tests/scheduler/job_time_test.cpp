// How stored job times read, which days a job applies on, the spans the catch-up option starts
// jobs in and the next second the scheduler has to wake for.
#include <gtest/gtest.h>

#include "core/song_array.h"
#include "scheduler/job_time.h"

using namespace Qt::StringLiterals;

namespace wavelot {
namespace {

const QDate kMonday(2024, 1, 8);
StationRow Job(const QString& start, const QString& stop, int weekMark = -1) {
    return {.jobType = weekMark >= 0, .jobStart = start, .jobStop = stop, .runJob = 1, .weekMark = weekMark};
}
QDateTime On(int daysAfterMonday, int h, int m = 0) {
    return QDateTime(kMonday.addDays(daysAfterMonday), QTime(h, m));
}

TEST(JobTime, StoredTextsReadAsTheirTimeOfDayOrAsNoTime) {
    // "stored=read"; nothing after "=" is no time.
    for (const QString& c : {u"="_s, u"07:00:00=07:00:00"_s, u"7:00:00=07:00:00"_s, u"7:05=07:05:00"_s,
                             u"2024/01/05 19:05:09=19:05:09"_s, u"2024-01-05T19:05:09=19:05:09"_s,
                             u"1/5/2024 7:05:09 PM=19:05:09"_s, u"下午 07:05:09=19:05:09"_s,
                             u"12:00:00 AM=00:00:00"_s, u"2024/01/05=00:00:00"_s, u"soon="_s, u"24:00:00="_s,
                             u"13:00 PM="_s, u"2024/02/30 07:00:00="_s, u"07:00:00 08:00:00="_s})
        EXPECT_EQ(JobTimeText(c.section(u'=', 0, 0)), c.section(u'=', 1)) << c.toStdString();
}

TEST(JobTime, DaysSpansAndTheNextDueSecond) {
    EXPECT_EQ(WeekDayNumber(kMonday.addDays(-1)), 1) << "Sunday";
    EXPECT_EQ(WeekDayNumber(kMonday.addDays(5)), 7) << "Saturday";
    const int monday = WeekDayBit(2), friday = WeekDayBit(6);
    EXPECT_FALSE(JobAppliesOn(Job(u"08:00:00"_s, u"09:00:00"_s, 0), kMonday)) << "weekly without days";

    struct Case {
        StationRow job;
        QDateTime now;
        std::optional<QDateTime> spanStart;
        std::optional<QDateTime> nextDue;
    };
    const std::optional<QDateTime> none;
    const Case cases[] = {
        {Job(u"08:00:00"_s, u"09:00:00"_s), On(0, 7), none, On(0, 8)},
        {Job(u"08:00:00"_s, u"09:00:00"_s), On(0, 8), none, On(0, 9)},
        {Job(u"08:00:00"_s, u"09:00:00"_s), On(0, 8, 30), On(0, 8), On(0, 9)},
        {Job(u"08:00:00"_s, u"09:00:00"_s), On(0, 9), none, On(1, 8)},
        {Job(u"23:00:00"_s, u"01:00:00"_s), On(0, 0, 30), On(-1, 23), On(0, 1)},
        {Job(u"23:00:00"_s, u"01:00:00"_s, monday), On(0, 0, 30), none, On(0, 1)},
        {Job(u"08:00:00"_s, u"09:00:00"_s, friday), On(0, 8, 30), none, On(4, 8)},
        {Job(u"08:00:00"_s, u"8:00:00"_s), On(0, 7), On(-1, 8), On(0, 8)},
        {Job(u"never"_s, u"2024/01/01 9:00:00"_s), On(0, 8, 30), none, On(0, 9)},
    };
    for (const Case& c : cases) {
        const QDateTime now = c.now.addMSecs(400);
        EXPECT_EQ(RunningSpanStart(c.job, now), c.spanStart)
            << c.job.jobStart.toStdString() << " at " << now.toString().toStdString();
        clsSongArray jobs;
        jobs.AddItem(c.job);
        jobs.AddItem({.jobStart = u"06:00:00"_s, .jobStop = u"06:30:00"_s});  // disabled: never due
        EXPECT_EQ(NextDueSecond(jobs, now), c.nextDue)
            << c.job.jobStart.toStdString() << " at " << now.toString().toStdString();
    }
}

}  // namespace
}  // namespace wavelot
