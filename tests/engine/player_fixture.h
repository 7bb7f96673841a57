#pragma once
// What the player's end-to-end tests share: an application object, a settings file in a
// temporary folder, an initialised audio library and a player with its play log.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "core/ini_file.h"
#include "core/pump_wait.h"
#include "core/settings_keys.h"
#include "core/song_array.h"
#include "engine/audio/audio_library.h"
#include "engine/engine_setup.h"
#include "engine/player.h"
#include "tests/support/player_wait.h"

#include <ostream>

// Readable failure messages for texts.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace wavelot::test {

inline QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "engine_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return *app;
}

// Dispatches events until pred holds or the time is up; returns pred's last answer.
inline bool WaitUntil(const std::function<bool()>& pred, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

inline QStringList LogLines(const clsSongArray& log) {
    QStringList out;
    for (int i = 0; i < log.ListCount(); ++i)
        out.append(log.File(i));
    return out;
}

// The log lines with their "hh:mm:ss: " prefix replaced by "T: ", so they compare exactly.
inline QStringList Untimed(const QStringList& lines) {
    static const QRegularExpression time(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d: "));
    QStringList out;
    for (QString l : lines)
        out.append(l.replace(time, QStringLiteral("T: ")));
    return out;
}

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        ASSERT_TRUE(dir_.isValid());
        settingFile_ = dir_.filePath(QStringLiteral("Setting.ini"));
        WriteIni(settings::kSectionSetting, settings::kSavedVolume, 80, settingFile_);
        ASSERT_TRUE(InitAudioEngine(audio_));
        player_ = std::make_unique<Player>(settingFile_, audio_, log_);
    }
    void TearDown() override {
        player_.reset();
        ReleaseAudioEngine(audio_);
    }

    QString Setting(const QString& key) const {
        return ReadIni(settings::kSectionSetting, key, settingFile_);
    }
    float Volume(audio::StreamHandle h) const {
        float v = -1;
        audio_.ChannelGetAttribute(h, audio::ATTRIB_VOL, &v);
        return v;
    }
    bool IsPlaying(audio::StreamHandle h) const { return audio_.ChannelIsActive(h) == audio::ACTIVE_PLAYING; }
    int CountLinesEndingWith(const QString& tail) const {
        int n = 0;
        for (const QString& l : LogLines(log_))
            n += l.endsWith(tail) ? 1 : 0;
        return n;
    }

    QTemporaryDir dir_;
    QString settingFile_;
    AudioLibrary audio_;
    clsSongArray log_;
    std::unique_ptr<Player> player_;
};

}  // namespace wavelot::test
