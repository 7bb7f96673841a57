#pragma once
// A wait that keeps the program responsive.

#include <QString>
#include <QtGlobal>

namespace wavelot {

// Monotonic milliseconds masked to 30 bits: the tick count PumpWait's start tick refers to.
qint64 TickCount30();
// Milliseconds from start to now, both TickCount30 values; a now below start means the count
// wrapped in between.
qint64 ElapsedTicks30(qint64 start, qint64 now);

// Returns after ms milliseconds, dispatching the application's events and timers while it
// waits, in steps of at most 100 ms. With startTick -1 the time counts from the call and the
// first step is always a full 100 ms (so PumpWait(50) takes about 100 ms); otherwise it counts
// from startTick (a TickCount30 value; wrap-around is handled), and a wait of at most 100 ms
// is a single step of ms. Event handlers may run inside: state read before the wait may have
// changed after it. Without a QCoreApplication it just sleeps.
void PumpWait(int ms, qint64 startTick = -1);

}  // namespace wavelot
