// How long the main thread goes without dispatching events while the window searches a
// directory and connects to a stream (the work runs off the main thread; target under 50 ms),
// and the CPU the program uses while a stream plays with the window shown and hidden in the
// tray (targets 5 % and 1 % of one core), with the main thread's wake-ups a second.
//
// Run by hand: build-*/bench/ui/ui_responsiveness_bench (offscreen; starts its own Icecast,
// PulseAudio and HTTP servers on loopback).
#include <benchmark/benchmark.h>
#include <QEventLoop>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdlib>
#include <functional>

#include "bench/support/gap_probe.h"
#include "core/app_folders.h"
#include "core/ini_file.h"
#include "core/settings_keys.h"
#include "core/song_array.h"
#include "directories/directory_config.h"
#include "engine/audio/audio_library.h"
#include "engine/player.h"
#include "session/session.h"
#include "tests/support/http_server.h"
#include "tests/support/icecast_rig.h"
#include "tests/support/player_wait.h"
#include "tests/support/pulse_rig.h"
#include "tests/support/rig_threads.h"
#include "tests/ui/ui_test_util.h"
#include "ui/frm_main.h"
#include "ui/frm_option.h"
#include "ui/search_page.h"

using namespace wavelot;
using namespace wavelot::test;
using wavelot::bench::GapProbe;
using namespace Qt::Literals::StringLiterals;

namespace {

// CPU of the program's own threads: the in-process test servers' share is left out.
double CpuSeconds() {
    return wavelot::test::ProcessCpuSeconds() - wavelot::test::RigCpuSeconds();
}

std::string ShoutcastAnswer(int stations) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<stationlist>\n"
        "<tunein base=\"/sbin/tunein-station.pls\"/>\n";
    for (int i = 0; i < stations; ++i)
        xml += "<station name=\"Station " + std::to_string(i) + " 電台\" mt=\"audio/mpeg\" id=\"" +
               std::to_string(1000 + i) + "\" br=\"128\" genre=\"Jazz\" ct=\"Song\" lc=\"" +
               std::to_string(i) + "\"/>\n";
    return xml + "</stationlist>\n";
}

// One window for the whole run, with its servers.
struct Rig {
    QTemporaryDir dir;
    PulseRig pulse;
    IcecastRig ice;
    HttpServer http;
    std::unique_ptr<Session> core;
    std::unique_ptr<frmOption> options;
    std::unique_ptr<frmMain> window;
    bool ok = false;

    Rig() {
        UiApp();
        if (!pulse.Start() || !ice.Start() || !ice.StartSource({.mount = "/test.mp3"}))
            return;
        InitAppFolders(dir.path());
        WriteIni(settings::kSectionSetting, settings::kSetRecode, 1, SettingFile());
        WriteIni(settings::kSectionSetting, settings::kSavedVolume, 50, SettingFile());
        WriteIni(directory_keys::kSection, directory_keys::kShoutcastHost, http.UrlText(""), SettingFile());
        WriteIni(directory_keys::kSection, directory_keys::kShoutcastKeys[0], u"KEY1KEY1KEY1KEY1"_s,
                 SettingFile());
        const std::string answer = ShoutcastAnswer(200);
        http.Handle("/legacy/genresearch", [answer](const HttpRequest&) {
            HttpResponse r = HttpResponse::Ok(answer, "text/xml");
            r.delayMs = 300;  // a directory on the other side of the world
            return r;
        });
        ice.SetTitle("/test.mp3", "Bench - Tone");
        core = std::make_unique<Session>();
        if (!core->Start())
            return;
        options = std::make_unique<frmOption>(core->settings(), core->Options());
        options->Form_Load();
        window = std::make_unique<frmMain>(*core, *options);
        window->show();
        window->Form_Load();
        ok = true;
    }
    QString StreamUrl() const { return QString::fromStdString(ice.Url("/test.mp3")); }
};

Rig& TheRig() {
    // The window is left to the end of the process; the servers are stopped at exit so that
    // no icecast2 outlives the benchmark.
    static Rig* rig = new Rig;
    static const int stopAtExit = std::atexit([] {
        rig->ice.StopServer();
        rig->pulse.Stop();
    });
    (void)stopAtExit;
    return *rig;
}

// Runs one window operation per iteration under the gap probe; check says what went wrong
// (or nothing), undo puts the window back untimed.
void RunGapBenchmark(benchmark::State& state, const std::function<void(Rig&)>& operation,
                     const std::function<const char*(Rig&)>& check,
                     const std::function<void(Rig&)>& undo = {}) {
    Rig& rig = TheRig();
    if (!rig.ok) {
        state.SkipWithError("rigs did not start");
        return;
    }
    GapProbe probe;
    double worst = 0;
    for (auto _ : state) {
        probe.Start();
        operation(rig);
        worst = std::max(worst, probe.StopMs());
        if (const char* problem = check(rig))
            state.SkipWithError(problem);
        if (undo) {
            state.PauseTiming();
            undo(rig);
            state.ResumeTiming();
        }
    }
    state.counters["max_gap_ms"] = worst;
}

void BM_SearchDispatchGap(benchmark::State& state) {
    RunGapBenchmark(
        state, [](Rig& rig) { rig.window->RunCommand(frmMain::kCmdSearch); },
        [](Rig& rig) {
            return rig.window->Search().ResultList()->model()->rowCount() == 200
                       ? nullptr
                       : "search did not fill 200 rows";
        });
}
BENCHMARK(BM_SearchDispatchGap)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_ConnectDispatchGap(benchmark::State& state) {
    RunGapBenchmark(
        state,
        [](Rig& rig) {
            rig.window->PlayRadio(rig.StreamUrl(), u"Bench FM"_s, 0);
            test::WaitSettled(rig.core->player());
        },
        [](Rig& rig) { return rig.core->player().IsConnected() ? nullptr : "no connection"; },
        [](Rig& rig) { rig.window->RunCommand(frmMain::kCmdStop); });
}
BENCHMARK(BM_ConnectDispatchGap)->Iterations(5)->Unit(benchmark::kMillisecond);

// CPU while playing for 10 s; range(0) 1 = window shown, 0 = hidden in the tray.
void BM_CpuWhilePlaying(benchmark::State& state) {
    Rig& rig = TheRig();
    if (!rig.ok) {
        state.SkipWithError("rigs did not start");
        return;
    }
    frmMain& w = *rig.window;
    w.PlayRadio(rig.StreamUrl(), u"Bench FM"_s, 0);
    test::WaitSettled(rig.core->player());
    if (state.range(0) == 1)
        w.show();
    else
        w.hide();
    Pump(1500);
    double percent = 0;
    double wakeups = 0;
    for (auto _ : state) {
        const double cpu0 = CpuSeconds();
        rusage main0{};
        getrusage(RUSAGE_THREAD, &main0);
        QElapsedTimer t;
        t.start();
        // A plain event loop, as the program's own: the test helpers' polling would add its own CPU.
        QEventLoop loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        const double seconds = t.nsecsElapsed() / 1e9;
        percent = 100.0 * (CpuSeconds() - cpu0) / seconds;
        rusage main1{};
        getrusage(RUSAGE_THREAD, &main1);
        wakeups = double(main1.ru_nvcsw - main0.ru_nvcsw) / seconds;
    }
    state.counters["cpu_percent_of_one_core"] = percent;
    state.counters["main_thread_wakeups_per_s"] = wakeups;
    w.RunCommand(frmMain::kCmdStop);
    w.show();
}
BENCHMARK(BM_CpuWhilePlaying)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
