#include "scheduler/job_time.h"

#include <QRegularExpression>

#include <array>
#include <utility>

#include "core/song_array.h"
#include "engine/time_text.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

enum class HalfDay { None, Morning, Afternoon };

// Takes an AM or PM marker (Latin or Chinese, before or after the time) out of text.
HalfDay TakeHalfDay(QString& text) {
    struct Marker {
        QString text;
        HalfDay half;
    };
    static const Marker markers[] = {
        {u"上午"_s, HalfDay::Morning},
        {u"下午"_s, HalfDay::Afternoon},
        {u"AM"_s, HalfDay::Morning},
        {u"PM"_s, HalfDay::Afternoon},
    };
    for (const Marker& m : markers) {
        const int at = text.indexOf(m.text, 0, Qt::CaseInsensitive);
        if (at >= 0) {
            text.remove(at, m.text.size());
            return m.half;
        }
    }
    return HalfDay::None;
}

bool IsDate(const QString& part) {
    static const QRegularExpression yearFirst(u"^(\\d{4})[/.-](\\d{1,2})[/.-](\\d{1,2})$"_s);
    static const QRegularExpression yearLast(u"^(\\d{1,2})[/.-](\\d{1,2})[/.-](\\d{4})$"_s);
    if (const auto m = yearFirst.match(part); m.hasMatch())
        return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()).isValid();
    if (const auto m = yearLast.match(part); m.hasMatch()) {
        const int a = m.captured(1).toInt();
        const int b = m.captured(2).toInt();
        const int year = m.captured(3).toInt();
        return QDate(year, a, b).isValid() || QDate(year, b, a).isValid();
    }
    return false;
}

std::optional<QTime> ReadClock(const QString& part, HalfDay half) {
    static const QRegularExpression clock(u"^(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?$"_s);
    const auto m = clock.match(part);
    if (!m.hasMatch())
        return std::nullopt;
    int h = m.captured(1).toInt();
    const int min = m.captured(2).toInt();
    const int s = m.hasCaptured(3) ? m.captured(3).toInt() : 0;
    if (half != HalfDay::None) {
        if (h > 12)
            return std::nullopt;
        h = half == HalfDay::Morning ? h % 12 : h % 12 + 12;
    }
    if (h > 23 || min > 59 || s > 59)
        return std::nullopt;
    return QTime(h, min, s);
}

// "hh:mm:ss", as the editor writes every time: read without the general rules, since the
// scheduler reads every job's two times once a second.
std::optional<QTime> ReadPlainClock(const QString& text) {
    if (text.size() != 8 || text[2] != u':' || text[5] != u':')
        return std::nullopt;
    int v[3];
    for (int i = 0; i < 3; ++i) {
        const char16_t a = text[3 * i].unicode(), b = text[3 * i + 1].unicode();
        if (a < u'0' || a > u'9' || b < u'0' || b > u'9')
            return std::nullopt;
        v[i] = (a - u'0') * 10 + (b - u'0');
    }
    if (v[0] > 23 || v[1] > 59 || v[2] > 59)
        return std::nullopt;
    return QTime(v[0], v[1], v[2]);
}

}  // namespace

int WeekDayNumber(const QDate& date) {
    return date.dayOfWeek() % 7 + 1;  // Qt counts Monday 1 to Sunday 7
}

std::optional<QTime> ReadJobTime(const QString& stored) {
    if (const std::optional<QTime> plain = ReadPlainClock(stored))
        return plain;
    QString text = stored;
    const HalfDay half = TakeHalfDay(text);
    static const QRegularExpression separators(u"[\\sT]+"_s);
    const QStringList parts = text.split(separators, Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.size() > 2)
        return std::nullopt;
    std::optional<QTime> time;
    bool date = false;
    for (const QString& part : parts) {
        if (part.contains(u':')) {
            if (time)
                return std::nullopt;
            time = ReadClock(part, half);
            if (!time)
                return std::nullopt;
        } else {
            if (date || !IsDate(part))
                return std::nullopt;
            date = true;
        }
    }
    if (!time)
        return half == HalfDay::None ? std::optional<QTime>(QTime(0, 0)) : std::nullopt;
    return time;
}

QString JobTimeText(const QString& stored) {
    const std::optional<QTime> t = ReadJobTime(stored);
    return t ? ClockText(*t) : QString();
}

bool JobAppliesOn(const StationRow& job, const QDate& date) {
    return job.jobType != kJobTypeWeekly || (job.weekMark & WeekDayBit(WeekDayNumber(date))) != 0;
}

std::optional<QDateTime> RunningSpanStart(const StationRow& job, const QDateTime& now) {
    const std::optional<QTime> start = ReadJobTime(job.jobStart);
    const std::optional<QTime> stop = ReadJobTime(job.jobStop);
    if (!start || !stop)
        return std::nullopt;
    const QDateTime second(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()));
    // Today's start, then yesterday's: a span reaches at most into the next day.
    for (int daysBack = 0; daysBack <= 1; ++daysBack) {
        const QDate day = now.date().addDays(-daysBack);
        const QDateTime begin(day, *start);
        QDateTime end(day, *stop);
        if (end <= begin)
            end = end.addDays(1);
        if (begin < second && second < end && JobAppliesOn(job, day))
            return begin;
    }
    return std::nullopt;
}

namespace {

// The exact search, one date and time at a time: for the rare case where the quick one's answer
// is no real local time (a clock change skips it) or not after now.
std::optional<QDateTime> NextDueSecondByDates(const clsSongArray& jobs, const QDateTime& now) {
    const qint64 second = now.toSecsSinceEpoch();
    std::optional<QDateTime> next;
    for (int i = 0; i < jobs.ListCount(); ++i) {
        const StationRow job = jobs.Row(i);
        if (job.runJob != kJobEnabled)
            continue;
        for (const QString& stored : {job.jobStart, job.jobStop}) {
            const std::optional<QTime> time = ReadJobTime(stored);
            if (!time)
                continue;
            for (int days = 0; days <= 7; ++days) {
                const QDate date = now.date().addDays(days);
                const QDateTime at(date, *time);
                if (!at.isValid() || at.toSecsSinceEpoch() <= second || !JobAppliesOn(job, date))
                    continue;
                if (!next || at < *next)
                    next = at;
                break;
            }
        }
    }
    return next;
}

}  // namespace

std::optional<QDateTime> NextDueSecond(const clsSongArray& jobs, const QDateTime& now) {
    // Candidates are compared as (days ahead, second of the day), so a list of 100,000 jobs costs
    // no local-time conversion per job; only the earliest becomes a date and time.
    const QTime nowSecond(now.time().hour(), now.time().minute(), now.time().second());
    std::array<int, 8> dayBits{};
    for (int days = 0; days <= 7; ++days)
        dayBits[static_cast<size_t>(days)] = WeekDayBit(WeekDayNumber(now.date().addDays(days)));
    std::optional<std::pair<int, QTime>> best;
    for (int i = 0; i < jobs.ListCount(); ++i) {
        if (jobs.RunJob(i) != kJobEnabled)
            continue;
        const bool weekly = jobs.JobType(i) == kJobTypeWeekly;
        const int weekMark = jobs.WeekMark(i);
        for (const QString& stored : {jobs.JobStart(i), jobs.JobStop(i)}) {
            const std::optional<QTime> time = ReadJobTime(stored);
            if (!time)
                continue;
            // Today up to a week on: a weekly job's next day is at most seven days away.
            for (int days = 0; days <= 7; ++days) {
                if ((days == 0 && *time <= nowSecond) ||
                    (weekly && (weekMark & dayBits[static_cast<size_t>(days)]) == 0))
                    continue;
                if (!best || std::pair(days, *time) < *best)
                    best = std::pair(days, *time);
                break;
            }
        }
    }
    if (!best)
        return std::nullopt;
    const QDateTime at(now.date().addDays(best->first), best->second);
    if (at.isValid() && at.toSecsSinceEpoch() > now.toSecsSinceEpoch())
        return at;
    return NextDueSecondByDates(jobs, now);
}

}  // namespace wavelot
