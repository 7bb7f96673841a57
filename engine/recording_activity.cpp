#include "engine/recording_activity.h"

#include "engine/recorder.h"

namespace wavelot {

RecordingActivity::RecordingActivity(Recorder& recorder, QObject* parent) : QObject(parent) {
    connect(&recorder, &Recorder::fileStarted, this, [this](const QString& file) { Set(file, true); });
    connect(&recorder, &Recorder::fileFinished, this, [this](const QString& file) { Set(file, false); });
    // Encoders that the engine's release ends tell no recorder any more.
    connect(&recorder, &QObject::destroyed, this, [this] {
        const bool was = Active();
        files_.clear();
        if (was)
            Q_EMIT activeChanged(false);
    });
}

void RecordingActivity::Set(const QString& file, bool writing) {
    const bool was = Active();
    if (writing)
        files_.insert(file);
    else
        files_.remove(file);
    if (Active() != was)
        Q_EMIT activeChanged(Active());
}

}  // namespace wavelot
