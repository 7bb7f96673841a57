#pragma once
// Time texts of the play log and the elapsed-time display.

#include <QString>
#include <QTime>

namespace wavelot {

// "hh:mm:ss" on the 24-hour clock.
QString ClockText(const QTime& time);

// The prefix of every play-log line that reports an event: the current local time and ": ".
QString LogTimePrefix();

// Elapsed time as "hh:mm:ss", from seconds rounded to a whole number. The engine answers -1
// when it cannot tell the position; that, and any other negative value, shows as 00:00:00.
// Hours are not wrapped at 24, so a stream that runs for days keeps counting.
QString FormatSeconds(double seconds);

}  // namespace wavelot
