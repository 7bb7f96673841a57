// Planning the next wake-up over a large job list: every job enabled, weekdays only, times
// spread over the day (the scheduler plans again after every wake-up and list change).
#include <benchmark/benchmark.h>

#include <QDateTime>

#include "core/song_array.h"
#include "scheduler/job_time.h"

namespace {

void BM_NextDueSecond(benchmark::State& state) {
    wavelot::clsSongArray jobs;
    const int count = static_cast<int>(state.range(0));
    for (int i = 0; i < count; ++i) {
        const QTime start = QTime(0, 0).addSecs((i * 7919) % 86400);
        jobs.AddItem({.file = QStringLiteral("http://127.0.0.1:9/%1").arg(i),
                      .jobType = wavelot::kJobTypeWeekly,
                      .jobStart = start.toString(QStringLiteral("hh:mm:ss")),
                      .jobStop = start.addSecs(3600).toString(QStringLiteral("hh:mm:ss")),
                      .runJob = wavelot::kJobEnabled,
                      .weekMark = 124});
    }
    const QDateTime now(QDate(2026, 12, 9), QTime(12, 0, 30));
    for (auto _ : state)
        benchmark::DoNotOptimize(wavelot::NextDueSecond(jobs, now));
}
BENCHMARK(BM_NextDueSecond)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
