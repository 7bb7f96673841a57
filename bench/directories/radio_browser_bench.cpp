// Radio-Browser: parsing answers far longer than a search asks for, a whole search of 200
// stations against a server on loopback, and one against two mirrors that trickle their answer.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/support/radio_browser_answer.h"
#include "core/song_array.h"
#include "directories/directory_search.h"
#include "directories/json_array_reader.h"
#include "directories/radio_browser.h"
#include "tests/support/http_server.h"

namespace {

// From the bytes as the fetch hands them over: with room for the JSON reader's padding behind
// them, as a receive buffer that reserves it, or without, when the reader copies them once.
void BM_RadioBrowserParseBytes(benchmark::State& state) {
    QByteArray answer = wavelot::bench::RadioBrowserAnswer(static_cast<int>(state.range(0)));
    if (state.range(1) != 0)
        answer.reserve(answer.size() + wavelot::kJsonReadPadding);
    int rows = 0;
    for (auto _ : state) {
        auto list = std::make_unique<wavelot::clsSongArray>();
        auto ids = std::make_unique<wavelot::RadioBrowserIds>();
        wavelot::ParseRadioBrowserAnswer(answer, *list, ids.get());
        rows = list->ListCount();
        state.PauseTiming();  // freeing the rows is not part of reading them
        list.reset();
        ids.reset();
        state.ResumeTiming();
    }
    state.counters["stations"] = rows;
    state.SetBytesProcessed(state.iterations() * answer.size());
}
BENCHMARK(BM_RadioBrowserParseBytes)
    ->ArgNames({"stations", "padded"})
    ->ArgsProduct({{200, 10000}, {1, 0}})
    ->Unit(benchmark::kMillisecond);

// From the raw-text box's text, as the search parses it.
void BM_RadioBrowserParseText(benchmark::State& state) {
    const QString answer =
        QString::fromUtf8(wavelot::bench::RadioBrowserAnswer(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        auto list = std::make_unique<wavelot::clsSongArray>();
        auto ids = std::make_unique<wavelot::RadioBrowserIds>();
        wavelot::ParseRadioBrowserAnswer(answer, *list, ids.get());
        benchmark::DoNotOptimize(list->ListCount());
        state.PauseTiming();
        list.reset();
        ids.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RadioBrowserParseText)->Arg(200)->Arg(10000)->Unit(benchmark::kMillisecond);

// Request, answer, decoding, raw-text box steps and parse of a 200-station search.
void BM_RadioBrowserSearch200(benchmark::State& state) {
    wavelot::test::HttpServer server;
    const std::string answer = wavelot::bench::RadioBrowserAnswer(200).toStdString();
    server.Handle("/json/stations/search", [&answer](const wavelot::test::HttpRequest&) {
        return wavelot::test::HttpResponse::Ok(answer, "application/json");
    });
    wavelot::DirectoryConfig config;
    config.radioBrowserServers = {server.UrlText("")};
    wavelot::clsSongArray list;
    wavelot::clsSongArray scratch;
    for (auto _ : state) {
        const wavelot::SearchRequest request{.directory = static_cast<int>(wavelot::Directory::RadioBrowser)};
        wavelot::RunDirectorySearch(request, config, {}, list, scratch);
        if (list.ListCount() != 200)
            state.SkipWithError("search did not find 200 stations");
    }
}
BENCHMARK(BM_RadioBrowserSearch200)->Unit(benchmark::kMillisecond);

// A whole search against two mirrors that answer one byte a second: the time until it gives up
// (the time-out line), all mirrors together.
void BM_RadioBrowserTricklingMirrors(benchmark::State& state) {
    wavelot::test::HttpServer first, second;
    const wavelot::test::HttpHandler trickle = [](const wavelot::test::HttpRequest&) {
        return wavelot::test::HttpResponse::Trickle("[]");
    };
    first.HandleAll(trickle);
    second.HandleAll(trickle);
    wavelot::DirectoryConfig config;
    config.radioBrowserServers = {first.UrlText(""), second.UrlText("")};
    wavelot::clsSongArray list;
    wavelot::clsSongArray scratch;
    for (auto _ : state) {
        const wavelot::SearchRequest request{.directory = static_cast<int>(wavelot::Directory::RadioBrowser)};
        const wavelot::SearchOutcome out = wavelot::RunDirectorySearch(request, config, {}, list, scratch);
        if (out.fetchFailure != wavelot::HttpFailure::TimedOut)
            state.SkipWithError("the search did not end as a time-out");
        state.counters["mirrors_asked"] = static_cast<double>(out.urls.size());
    }
}
BENCHMARK(BM_RadioBrowserTricklingMirrors)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
