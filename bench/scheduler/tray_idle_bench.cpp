// The program idle in the tray, nothing playing, with ten enabled jobs none of which is due:
// the CPU it uses (target under 0.05 % of one core), the scheduler's wake-ups a second (target
// at most 2), and the wake-ups of the main thread and of the whole process. range(0) 0 runs
// the same with the scheduler stopped, so the difference is the scheduler's share.
//
// Run by hand: QT_QPA_PLATFORM=offscreen build-*/bench/scheduler/scheduler_idle_bench
// (no sound server is needed: with none the engine uses its silent output).
#include <benchmark/benchmark.h>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTime>
#include <QTimer>

#include <sys/resource.h>

#include "core/app_folders.h"
#include "core/ini_file.h"
#include "core/settings_keys.h"
#include "core/song_array.h"
#include "engine/time_text.h"
#include "scheduler/job_scheduler.h"
#include "session/session.h"
#include "tests/support/rig_threads.h"
#include "tests/ui/ui_test_util.h"
#include "ui/frm_main.h"
#include "ui/frm_option.h"

using namespace wavelot;
using namespace wavelot::test;
using namespace Qt::Literals::StringLiterals;

namespace {

struct Rig {
    QTemporaryDir dir;
    std::unique_ptr<Session> core;
    std::unique_ptr<frmOption> options;
    std::unique_ptr<frmMain> window;
    bool ok = false;

    Rig() {
        UiApp();
        InitAppFolders(dir.path());
        WriteIni(settings::kSectionSetting, settings::kSetRecode, 1, SettingFile());
        core = std::make_unique<Session>();
        if (!core->Start())
            return;
        options = std::make_unique<frmOption>(core->settings(), core->Options());
        options->Form_Load();
        // Hours away, so nothing starts while the benchmark measures.
        const QTime later = QTime::currentTime().addSecs(3 * 3600);
        for (int i = 0; i < 10; ++i)
            core->Lists().jobList.AddItem({.file = u"http://127.0.0.1:9/job%1"_s.arg(i),
                                           .title = u"Job %1"_s.arg(i),
                                           .jobType = i % 2,
                                           .jobStart = ClockText(later.addSecs(60 * i)),
                                           .jobStop = ClockText(later.addSecs(60 * i + 1800)),
                                           .runJob = 1,
                                           .weekMark = 124});
        window = std::make_unique<frmMain>(*core, *options);
        window->show();
        window->Form_Load();
        window->hide();  // as in the tray
        ok = true;
    }
};

Rig& TheRig() {
    static Rig* rig = new Rig;
    return *rig;
}

struct Counters {
    double cpu = 0;
    long threadWakeups = 0;   // the main thread's voluntary context switches
    long processWakeups = 0;  // every thread's
    quint64 scheduler = 0;
};

Counters Read(Rig& rig) {
    rusage thread{}, process{};
    getrusage(RUSAGE_THREAD, &thread);
    getrusage(RUSAGE_SELF, &process);
    return {ProcessCpuSeconds() - RigCpuSeconds(), thread.ru_nvcsw, process.ru_nvcsw,
            rig.core->Scheduler()->Wakeups()};
}

void BM_IdleInTray(benchmark::State& state) {
    Rig& rig = TheRig();
    if (!rig.ok) {
        state.SkipWithError("the engine did not start");
        return;
    }
    JobScheduler& scheduler = *rig.core->Scheduler();
    if (state.range(0) == 0)
        scheduler.Stop();
    else if (!scheduler.IsRunning())
        scheduler.Start();
    constexpr int kSeconds = 60;
    Counters before, after;
    double elapsed = 1;
    for (auto _ : state) {
        before = Read(rig);
        QElapsedTimer t;
        t.start();
        QEventLoop loop;  // a plain event loop, as the program's own
        QTimer::singleShot(kSeconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        elapsed = t.nsecsElapsed() / 1e9;
        after = Read(rig);
    }
    state.counters["cpu_percent_of_one_core"] = 100.0 * (after.cpu - before.cpu) / elapsed;
    state.counters["scheduler_wakeups_per_s"] =
        static_cast<double>(after.scheduler - before.scheduler) / elapsed;
    state.counters["main_thread_wakeups_per_s"] = (after.threadWakeups - before.threadWakeups) / elapsed;
    state.counters["process_wakeups_per_s"] = (after.processWakeups - before.processWakeups) / elapsed;
    scheduler.Start();
}
BENCHMARK(BM_IdleInTray)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
