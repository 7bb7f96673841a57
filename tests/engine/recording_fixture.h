#pragma once
// What the recording tests share: the player's fixture with a recorder writing into a temporary
// folder, a stream watchdog and the recording activity, the files begun in order and when, and
// the sound of a file (tests/support/station_sound.h).

#include <QDir>
#include <QProcess>

#include <memory>
#include <vector>

#include "engine/record_options.h"
#include "engine/recorder.h"
#include "engine/recording_activity.h"
#include "engine/stream_watchdog.h"
#include "tests/engine/player_fixture.h"
#include "tests/support/station_sound.h"

namespace wavelot::test {

class RecordingTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        program_ = dir_.filePath(QStringLiteral("program/"));
        QDir().mkpath(program_);
        options_.folder = dir_.filePath(QStringLiteral("rec"));
        options_.quality = 3;  // 128 kbit/s: lame keeps the rate, so its files decode to the sample
        recorder_ = std::make_unique<Recorder>(*player_, audio_, options_, program_,
                                               dir_.filePath(QStringLiteral("default/")));
        watchdog_ = std::make_unique<StreamWatchdog>(*player_, *recorder_, options_);
        activity_ = std::make_unique<RecordingActivity>(*recorder_);
        QObject::connect(activity_.get(), &RecordingActivity::activeChanged,
                         [this](bool active) { activeChanges_.append(active); });
        QObject::connect(recorder_.get(), &Recorder::fileStarted, [this](const QString& f) {
            started_.append(f);
            startedAt_.append(clock_.elapsed());
        });
        clock_.start();
    }
    void TearDown() override {
        if (player_ && recorder_->IsRecording())
            recorder_->ToggleRecording();
        WaitUntil([&] { return recorder_->UnfinishedFiles() == 0; }, 5000);
        activity_.reset();
        watchdog_.reset();
        recorder_.reset();
        PlayerTest::TearDown();
    }
    void Finish() {
        ASSERT_TRUE(WaitUntil([&] { return recorder_->UnfinishedFiles() == 0; }, 5000));
    }
    QString Root() const { return options_.folder + u'/'; }

    QString program_;
    FixedRecordOptions options_;
    std::unique_ptr<Recorder> recorder_;
    std::unique_ptr<StreamWatchdog> watchdog_;
    std::unique_ptr<RecordingActivity> activity_;
    QList<bool> activeChanges_;  // the recording activity's changes, in order
    QElapsedTimer clock_;
    QStringList started_;
    QList<qint64> startedAt_;
};

}  // namespace wavelot::test
