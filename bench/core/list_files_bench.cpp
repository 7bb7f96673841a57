// Saving and loading a large job list, the work done at every exit and start (and by
// wavelot-cli jobs). peak_MiB is the process's peak resident size after the run: run one
// benchmark at a time (--benchmark_filter) to see its own peak.
#include "core/ini_file.h"
#include "core/list_files.h"
#include "core/song_array.h"

#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <sys/resource.h>

namespace {

using namespace Qt::Literals::StringLiterals;
using wavelot::clsSongArray;

// About 390 bytes a job in the file, as the lists users keep (100,000 jobs: 39 MB).
void FillJobs(clsSongArray& list, int n) {
    for (int i = 0; i < n; ++i)
        list.AddItem({.file = u"http://stream.example.test:8000/live"_s + QString::number(i),
                      .title = u"電台 "_s + QString::number(i) + u" 晨間"_s,
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

double PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The file is written by a list that is gone before the reading starts.
QString WriteJobsFile(const QTemporaryDir& dir, int n) {
    clsSongArray list;
    FillJobs(list, n);
    const QString path = dir.filePath(u"RunJob.ini"_s);
    wavelot::WriteListIni(path, list, true);
    return path;
}

void BM_ReadRunJob(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = WriteJobsFile(dir, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        clsSongArray loaded;
        benchmark::DoNotOptimize(wavelot::ReadListIni(path, true, loaded));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["file_MB"] = static_cast<double>(QFileInfo(path).size()) / 1e6;
    state.counters["peak_MiB"] = PeakMiB();
}
BENCHMARK(BM_ReadRunJob)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// For comparison: the same file through the general INI document, which keeps every line's bytes
// and text and an index of the keys (the way the list was read before).
void BM_ReadRunJobAsIniDocument(benchmark::State& state) {
    QTemporaryDir dir;
    const int n = static_cast<int>(state.range(0));
    const QString path = WriteJobsFile(dir, n);
    const QString section = u"PlayList"_s;
    for (auto _ : state) {
        wavelot::IniDocument doc;
        doc.Load(path);
        const auto text = [&](const char16_t* key, int i) {
            return doc.Value(section, QString::fromUtf16(key) + QString::number(i)).value_or(QString());
        };
        const auto number = [&](const char16_t* key, int i) { return wavelot::StrictInt(text(key, i)); };
        clsSongArray loaded;
        for (int i = 1; i <= n; ++i)
            loaded.AddItem({.file = text(u"File", i),
                            .title = text(u"Title", i),
                            .code = number(u"Code", i),
                            .comment = text(u"Comment", i),
                            .jobMode = number(u"JobMode", i),
                            .jobType = number(u"JobType", i),
                            .jobStart = text(u"StrTime", i),
                            .jobStop = text(u"StopTime", i),
                            .runJob = number(u"RunJob", i),
                            .weekMark = number(u"WeekMark", i)});
        benchmark::DoNotOptimize(loaded.ListCount());
    }
    state.counters["peak_MiB"] = PeakMiB();
}
BENCHMARK(BM_ReadRunJobAsIniDocument)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
