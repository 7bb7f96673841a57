#pragma once
// The times and days of a scheduled job: how a stored JobStart or JobStop text reads as a time
// of day, which days a job applies on, and the span a job's start and stop enclose.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <optional>

namespace wavelot {

struct StationRow;
class clsSongArray;

// Field values of a job record.
inline constexpr int kJobEnabled = 1;         // RunJob
inline constexpr int kJobTypeWeekly = 1;      // JobType: only the days in WeekMark; anything else every day
inline constexpr int kJobModeRecord = 1;      // JobMode: play and record; anything else only plays
inline constexpr int kJobModeRecordOnly = 2;  // JobMode: record in the background, play nothing

// Week days numbered as WeekMark counts them, Sunday 1 to Saturday 7; a day's bit is 2^day, so
// bit 0 is never used (Monday to Friday is 124, the whole week 254).
int WeekDayNumber(const QDate& date);
inline constexpr int WeekDayBit(int day) {
    return 1 << day;
}

// Reads a stored job time the way a date/time text is read, keeping only the time of day:
// "07:05:09", "7:05:09", "7:05", "7:05:09 PM", "下午 7:05:09", "2024/01/05 19:05:09",
// "2024-01-05T19:05:09". A date alone is midnight. Nothing for a text that is no time.
std::optional<QTime> ReadJobTime(const QString& stored);
// The stored time as "hh:mm:ss" (24-hour), or an empty text when it is no time: an empty text
// equals no clock text, so such a start or stop never happens.
QString JobTimeText(const QString& stored);

// Whether the job's days include date: a weekly job only on the days set in WeekMark (never
// with WeekMark 0), any other job every day.
bool JobAppliesOn(const StationRow& job, const QDate& date);

// When now lies inside a running span of the job (after the second of a start on a day the
// job applies, before the stop second that follows it), the date and time of that start;
// otherwise nothing. A stop at or before the start time of day ends the span the next day, so
// a stop equal to the start makes a span of a whole day. RunJob is not looked at.
std::optional<QDateTime> RunningSpanStart(const StationRow& job, const QDateTime& now);

// The first second after now's at which an enabled job of the list starts or stops on a day it
// applies; nothing when no job ever will. Every second before it would find nothing to do.
std::optional<QDateTime> NextDueSecond(const clsSongArray& jobs, const QDateTime& now);

}  // namespace wavelot
