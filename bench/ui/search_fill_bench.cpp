// From the click on the search button to a filled result list, on the main window offscreen,
// with the directory on loopback: a Radio-Browser search of 200 stations. Needs no sound
// server (the engine falls back to its silent output).
//
// Run by hand: build-*/bench/ui/ui_search_fill_bench
#include <benchmark/benchmark.h>
#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>

#include "bench/support/radio_browser_answer.h"
#include "core/app_folders.h"
#include "core/ini_file.h"
#include "core/settings_keys.h"
#include "directories/directory_config.h"
#include "session/session.h"
#include "tests/support/http_server.h"
#include "tests/ui/ui_test_util.h"
#include "ui/frm_main.h"
#include "ui/frm_option.h"
#include "ui/search_page.h"

using namespace wavelot;
using namespace wavelot::test;

namespace {

void BM_RadioBrowserClickToFilledList(benchmark::State& state) {
    UiApp();
    QTemporaryDir dir;
    HttpServer http;
    const std::string answer = bench::RadioBrowserAnswer(200).toStdString();
    http.Handle("/json/stations/search",
                [&answer](const HttpRequest&) { return HttpResponse::Ok(answer, "application/json"); });
    InitAppFolders(dir.path());
    WriteIni(settings::kSectionSetting, settings::kSetRecode, 1, SettingFile());
    WriteIni(directory_keys::kSection, directory_keys::kRadioBrowserServers, http.UrlText(""), SettingFile());
    Session core;
    if (!core.Start()) {
        state.SkipWithError("engine did not start");
        return;
    }
    frmOption options(core.settings(), core.Options());
    options.Form_Load();
    frmMain window(core, options);
    window.show();
    window.Form_Load();
    QComboBox* box = window.Search().cmbRadioType();
    box->setCurrentIndex(static_cast<int>(Directory::RadioBrowser));
    Q_EMIT box->activated(box->currentIndex());
    Pump(200);

    for (auto _ : state) {
        // The search runs inside the click; the list is filled when the click returns.
        QTest::mouseClick(window.Button(frmMain::kCmdSearch), Qt::LeftButton);
        if (window.Search().ResultList()->model()->rowCount() != 200)
            state.SkipWithError("the list did not fill with 200 stations");
    }
    window.RunCommand(frmMain::kCmdExit);
}
BENCHMARK(BM_RadioBrowserClickToFilledList)->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace
