// Station list costs at 100 000 records: appending, inserting, removing and sorting.
#include "core/song_array.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <random>

namespace {

using namespace Qt::Literals::StringLiterals;
using wavelot::clsSongArray;

constexpr int kRecords = 100000;

// Realistic field contents: a directory answer row.
void Fill(clsSongArray& list, int n, unsigned seed = 1) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> rate(16, 320), listeners(0, 50000);
    for (int i = 0; i < n; ++i) {
        const int r = rng();
        list.AddItem({.file = u"http://stream"_s + QString::number(r & 0xFFFF) + u".example.test:8000/live"_s,
                      .title = u"Station "_s + QString::number(r),
                      .comment = u"Jazz"_s,
                      .jobStart = QString::number(rate(rng)) + u" kbps"_s,
                      .jobStop = QString::number(listeners(rng))});
    }
}

void BM_Append100k(benchmark::State& state) {
    for (auto _ : state) {
        clsSongArray list;
        Fill(list, kRecords);
        benchmark::DoNotOptimize(list.ListCount());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_Append100k)->Unit(benchmark::kMillisecond);

// One insert at the front (the worst position) of a 100 000-record list, then one remove from
// the front so the size stays put.
void BM_InsertRemoveFrontAt100k(benchmark::State& state) {
    clsSongArray list;
    Fill(list, kRecords);
    for (auto _ : state) {
        list.AddItem({.file = u"http://new/"_s, .title = u"New"_s}, 0);
        list.Remove(0);
    }
}
BENCHMARK(BM_InsertRemoveFrontAt100k)->Unit(benchmark::kMicrosecond);

// Building a 100 000-record list by inserting each record at a random position.
void BM_InsertRandom100k(benchmark::State& state) {
    for (auto _ : state) {
        clsSongArray list;
        std::mt19937 rng(7);
        for (int i = 0; i < kRecords; ++i)
            list.AddItem({.file = u"http://x/"_s, .title = u"T"_s},
                         i == 0 ? -1 : static_cast<int>(rng() % static_cast<unsigned>(i)));
        benchmark::DoNotOptimize(list.ListCount());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_InsertRandom100k)->Unit(benchmark::kMillisecond)->Iterations(3);

// Emptying a 100 000-record list by removing from random positions.
void BM_RemoveRandom100k(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        clsSongArray list;
        Fill(list, kRecords);
        std::mt19937 rng(9);
        state.ResumeTiming();
        for (int n = kRecords; n > 0; --n)
            list.Remove(static_cast<int>(rng() % static_cast<unsigned>(n)));
        benchmark::DoNotOptimize(list.ListCount());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_RemoveRandom100k)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Sort100k(benchmark::State& state) {
    const int key = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        clsSongArray list;
        Fill(list, kRecords, 3);
        state.ResumeTiming();
        list.Sort(true, key);
        benchmark::DoNotOptimize(list.Title(0));
    }
}
BENCHMARK(BM_Sort100k)
    ->Arg(clsSongArray::kSortTitle)
    ->Arg(clsSongArray::kSortJobStart)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Sorting an already sorted list (the second click on a column) and reversing it.
void BM_SortSortedAndReverse100k(benchmark::State& state) {
    clsSongArray list;
    Fill(list, kRecords, 5);
    list.Sort(true, clsSongArray::kSortTitle);
    bool ascending = state.range(0) != 0;
    for (auto _ : state) {
        list.Sort(ascending, clsSongArray::kSortTitle);
        if (!ascending) {
            state.PauseTiming();
            list.Sort(true, clsSongArray::kSortTitle);
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_SortSortedAndReverse100k)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
