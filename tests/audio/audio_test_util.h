#pragma once
// Shared by the audio tests: the Qt application the library's syncs need, waits that keep the
// event loop running, and tone files made once per test program.

#include "engine/audio/audio_library.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QList>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

namespace wavelot::test {

inline QCoreApplication& App() {
    static int argc = 1;
    static char name[] = "audio_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;
    return *QCoreApplication::instance();
}

// Spins the event loop until pred holds or ms passed; returns pred().
inline bool WaitFor(const std::function<bool()>& pred, int ms) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        // Sleeps in the event loop rather than spinning: the machine is shared.
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

inline void Pump(int ms) {
    WaitFor([] { return false; }, ms);
}

// The strings of a tag series ("a\0b\0\0"), without the closing empty one.
inline QList<QByteArray> TagStrings(const QByteArray& tags) {
    QList<QByteArray> out;
    qsizetype i = 0;
    while (i < tags.size()) {
        qsizetype end = tags.indexOf('\0', i);
        if (end < 0 || end == i)
            break;
        out.append(tags.mid(i, end - i));
        i = end + 1;
    }
    return out;
}

// A folder for the whole test program with generated tones.
const std::string& ScratchDir();
// A 20 s tone made once with ffmpeg (cached for the program); empty when ffmpeg fails.
std::string Tone(int frequency, const std::string& codec = "libmp3lame", const std::string& format = "mp3",
                 const std::string& extension = "mp3", int bitrateKbps = 128);
// Peak bin of a spectrum and its value.
int PeakBin(const std::vector<float>& bins);

}  // namespace wavelot::test
