// The two text paths that see the most data: entity decoding of a directory page and station
// text decoding of Big5 with the extension table.
#include <benchmark/benchmark.h>

#include <QString>

#include "text/html_entities.h"
#include "text/station_text.h"

namespace {

constexpr qsizetype kMiB = 1024 * 1024;

// A directory-like page: rows of markup with names that carry references.
QString MakePage() {
    const QString row = QStringLiteral(
        "<tr><td class=\"name\"><b>Rock &amp; Roll FM</b> &ndash; Caf&eacute; &#233;dition</td>"
        "<td>&lt;Jazz&gt; &quot;Live&quot; &#150; 128k</td><td>正體中文 電台</td></tr>\n");
    QString page;
    while (page.size() * 2 < kMiB)
        page += row;
    return page;
}

QByteArray MakeBig5() {
    // Common characters, ASCII, and user-defined pairs that the table maps.
    const QByteArray chunk("\xA5\xBF\xC5\xE9\xA4\xA4\xA4\xE5 Radio \xFA\x40\xC6\xA1\x81\x40 - ", 24);
    QByteArray bytes;
    while (bytes.size() < kMiB)
        bytes += chunk;
    return bytes;
}

void BM_DecodeHtmlEntities_1MiB(benchmark::State& state) {
    const QString page = MakePage();
    for (auto _ : state)
        benchmark::DoNotOptimize(wavelot::DecodeHtmlEntities(page));
    state.SetBytesProcessed(state.iterations() * page.size() * 2);
}
BENCHMARK(BM_DecodeHtmlEntities_1MiB)->Unit(benchmark::kMillisecond);

void BM_DecodeHtmlEntities_1MiB_Plain(benchmark::State& state) {
    const QString page = QString(kMiB / 2, QChar(u'x'));
    for (auto _ : state)
        benchmark::DoNotOptimize(wavelot::DecodeHtmlEntities(page));
    state.SetBytesProcessed(state.iterations() * page.size() * 2);
}
BENCHMARK(BM_DecodeHtmlEntities_1MiB_Plain)->Unit(benchmark::kMillisecond);

void BM_DecodeStationText_Big5_1MiB(benchmark::State& state) {
    const QByteArray bytes = MakeBig5();
    wavelot::Big5ExtTable table;
    table.Set(0xE000, 0x4E00);
    table.Set(0xF6B1, 0x9F98);
    table.Set(0xEEB8, 0x5F73);
    for (auto _ : state)
        benchmark::DoNotOptimize(wavelot::DecodeStationText(bytes, 1, table));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_DecodeStationText_Big5_1MiB)->Unit(benchmark::kMillisecond);

void BM_DecodeStationText_SongTitle(benchmark::State& state) {
    const QByteArray title("\xA5\xBF\xC5\xE9\xA4\xA4\xA4\xE5 - \xFA\x40 Song", 18);
    for (auto _ : state)
        benchmark::DoNotOptimize(wavelot::DecodeStationText(title, 1));
}
BENCHMARK(BM_DecodeStationText_SongTitle);

}  // namespace
