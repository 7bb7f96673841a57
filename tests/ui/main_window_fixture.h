#pragma once
// A main window in a program folder of its own (a temporary folder with Setting/ beside it),
// its directory hosts pointed at a local HTTP server, started with Form_Load.

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <memory>

#include "core/app_folders.h"
#include "core/ini_file.h"
#include "core/settings_keys.h"
#include "core/song_array.h"
#include "directories/directory_config.h"
#include "session/session.h"
#include "tests/support/http_server.h"
#include "tests/ui/ui_test_util.h"
#include "ui/frm_main.h"
#include "ui/frm_option.h"
#include "ui/search_page.h"
#include "ui/station_list_view.h"

namespace wavelot::test {

using namespace Qt::Literals::StringLiterals;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        UiApp();
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(server_.Ok());
        InitAppFolders(dir_.path());
        Write(settings::kSetRecode, u"1"_s);
        Write(settings::kSavedVolume, u"80"_s);
        const QString local = server_.UrlText("");
        for (const QString& key : {directory_keys::kShoutcastHost, directory_keys::kIcecastHost,
                                   directory_keys::kIcecastBase, directory_keys::kLiveDoorHost,
                                   directory_keys::kInLiveHost, directory_keys::kRadioBrowserServers})
            WriteIni(directory_keys::kSection, key, local, SettingFile());
        WriteIni(directory_keys::kSection, directory_keys::kShoutcastTuneInHost, u"http://tunein.test"_s,
                 SettingFile());
        WriteIni(directory_keys::kSection, directory_keys::kShoutcastKeys[0], u"KEY1KEY1KEY1KEY1"_s,
                 SettingFile());
    }

    void TearDown() override {
        CancelWatchers();
        Close();
    }

    void Write(const QString& key, const QString& value) {
        WriteIni(settings::kSectionSetting, key, value, SettingFile());
    }
    QString Read(const QString& key) { return ReadIni(settings::kSectionSetting, key, SettingFile()); }

    // As the program starts: the parts first (favourites or jobs a test put into Lists() before
    // are kept), then the window over them.
    frmMain& Open() {
        Lists();
        EXPECT_TRUE(core_->Start());
        window_ = std::make_unique<frmMain>(*core_, *options_);
        window_->show();
        window_->Form_Load();
        return *window_;
    }
    // The window and its parts gone, as at the end of a run.
    void Close() {
        window_.reset();
        options_.reset();
        core_.reset();
    }
    // The session and the options dialog, loaded, as the program makes them before its window.
    StationLists& Lists() {
        if (!core_) {
            core_ = std::make_unique<Session>();
            options_ = std::make_unique<frmOption>(core_->settings(), core_->Options());
            options_->Form_Load();
        }
        return core_->Lists();
    }
    Player& player() { return core_->player(); }

    // As a user picks a directory: the box's selection, then its click.
    static void ChooseDirectory(frmMain& w, int index) {
        QComboBox* box = w.Search().cmbRadioType();
        box->setCurrentIndex(index);
        Q_EMIT box->activated(index);
    }

    static std::string DataBytes(const QString& name) {
        QFile f(QString::fromLocal8Bit(qgetenv("WAVELOT_TEST_DATA")) + u"/directories/"_s + name);
        f.open(QIODevice::ReadOnly);
        return f.readAll().toStdString();
    }

    QTemporaryDir dir_;
    HttpServer server_;
    std::unique_ptr<Session> core_;
    std::unique_ptr<frmOption> options_;
    std::unique_ptr<frmMain> window_;
};

}  // namespace wavelot::test
