// Saving and loading a large favourites file, the work done at every exit and start.
#include "core/list_files.h"
#include "core/song_array.h"

#include <benchmark/benchmark.h>

#include <QString>
#include <QTemporaryDir>

namespace {

using namespace Qt::Literals::StringLiterals;
using wavelot::clsSongArray;

void FillJobs(clsSongArray& list, int n) {
    for (int i = 0; i < n; ++i)
        list.AddItem({.file = u"http://stream.example.test:8000/"_s + QString::number(i),
                      .title = u"電台 "_s + QString::number(i),
                      .code = i % 5,
                      .comment = u"comment"_s,
                      .jobMode = i % 2,
                      .jobType = 1,
                      .jobStart = u"07:00:00"_s,
                      .jobStop = u"08:00:00"_s,
                      .runJob = 1,
                      .weekMark = 62});
}

void BM_WriteRunJob(benchmark::State& state) {
    QTemporaryDir dir;
    clsSongArray list;
    FillJobs(list, static_cast<int>(state.range(0)));
    const QString path = dir.filePath(u"RunJob.ini"_s);
    for (auto _ : state)
        benchmark::DoNotOptimize(wavelot::WriteListIni(path, list, true));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WriteRunJob)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ReadRunJob(benchmark::State& state) {
    QTemporaryDir dir;
    clsSongArray list;
    FillJobs(list, static_cast<int>(state.range(0)));
    const QString path = dir.filePath(u"RunJob.ini"_s);
    wavelot::WriteListIni(path, list, true);
    for (auto _ : state) {
        clsSongArray loaded;
        benchmark::DoNotOptimize(wavelot::ReadListIni(path, true, loaded));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadRunJob)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
