// Parser throughput on answers of the sizes the directories really send.
#include <benchmark/benchmark.h>

#include "core/song_array.h"
#include "directories/directory_search.h"
#include "directories/icecast_parser.h"
#include "directories/livedoor_parser.h"
#include "directories/shoutcast_parser.h"

using namespace Qt::StringLiterals;

namespace {

QString ShoutcastAnswer(int stations) {
    QString s =
        u"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<stationlist>\n"
        u"<tunein base=\"/sbin/tunein-station.pls\"/>\n"_s;
    for (int k = 0; k < stations; ++k) {
        s += u"<station name=\"Station number "_s + QString::number(k) +
             u" &amp; friends\" mt=\"audio/mpeg\" id=\""_s + QString::number(100000 + k) +
             u"\" br=\"128\" genre=\"Jazz\" genre2=\"Smooth Jazz\" ct=\"Some Artist - Some Title\" lc=\""_s +
             QString::number(k * 3) + u"\"/>\n"_s;
    }
    return s + u"</stationlist>\n"_s;
}

QString IcecastPage(qsizetype bytes) {
    const QString row =
        u"<tr class=\"row\">\n<td class=\"description\">\n<p class=\"stream-name\"><span class=\"name\">"
        u"<a href=\"http://example.org/\" onclick=\"return false;\">Jazz Caf&eacute;</a></span>\n"
        u"<span class=\"listeners\">[21&nbsp;listeners]</span></p>\n<p class=\"stream-description\">Jazz "
        u"&amp; more, all day</p>\n<p class=\"stream-onair\"><strong>On air:</strong> Something</p>\n</td>\n"
        u"<td class=\"tune-in\">\n<p class=\"format\" title=\"128 kbps\">\n<a href=\"/listen/3101/jazz.m3u\" "
        u"title=\"Listen (M3U)\">M3U</a>\n<a href=\"/by_format/MP3\" class=\"streams\">MP3</a></p>\n</td>\n</tr>\n"_s;
    QString page = u"<!DOCTYPE html>\n<html><body><table class=\"servers-list\">\n"_s;
    while (page.toUtf8().size() < bytes - row.size() * 40) {
        for (int k = 0; k < 40; ++k)
            page += row;
    }
    return page + u"</table></body></html>\n"_s;
}

QString LiveDoorListing(int blocks) {
    QString s;
    for (int k = 0; k < blocks; ++k) {
        s += u"SRV=std"_s + QString::number(k % 9) + u".ladio.example\nPRT=80"_s + QString::number(k % 90) +
             u"\nMNT=/mount"_s + QString::number(k) +
             u"\nTYPE=audio/mpeg\nNAM=東京ラジオ番組\nGNL=J-POP\nDJ=太郎\nCLN=5\nCLNS=9\nMAX=50\nBIT=128\n"
             u"SMPL=44100\nCHS=2\nSRVTIME=2026/12/08 02:00:00\nDESC=毎晩お届けします\n"_s;
    }
    return s;
}

void BM_ShoutcastAnswer200(benchmark::State& state) {
    const QString answer = ShoutcastAnswer(200);
    for (auto _ : state) {
        wavelot::clsSongArray list;
        wavelot::ParseShoutcastAnswer(answer, u"key"_s, u"http://yp.test"_s, list);
        benchmark::DoNotOptimize(list.ListCount());
    }
    state.SetBytesProcessed(state.iterations() * answer.size() * 2);
}
BENCHMARK(BM_ShoutcastAnswer200)->Unit(benchmark::kMillisecond);

void BM_IcecastPage1MiB(benchmark::State& state) {
    const QString page = IcecastPage(1 << 20);
    int rows = 0;
    for (auto _ : state) {
        wavelot::clsSongArray list;
        wavelot::ParseIcecastPage(page, u"http://dir.test"_s, list);
        rows = list.ListCount();
    }
    state.counters["stations"] = rows;
    state.SetBytesProcessed(state.iterations() * page.toUtf8().size());
}
BENCHMARK(BM_IcecastPage1MiB)->Unit(benchmark::kMillisecond);

void BM_LiveDoorListing5000(benchmark::State& state) {
    // As the search hands it over: LF doubled to CR LF by the raw-text box step.
    const QString listing = wavelot::RawBoxText(2, LiveDoorListing(5000));
    for (auto _ : state) {
        wavelot::clsSongArray list;
        wavelot::ParseLiveDoorList(listing, list);
        benchmark::DoNotOptimize(list.ListCount());
    }
    state.SetBytesProcessed(state.iterations() * listing.toUtf8().size());
}
BENCHMARK(BM_LiveDoorListing5000)->Unit(benchmark::kMillisecond);

}  // namespace
