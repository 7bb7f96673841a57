#pragma once
// Whether a recording is being written: from the moment an encoder begins a file until the last
// file begun has been finished. The record command's wish alone does not count (no stream, no
// lame, a folder that cannot be written: nothing is written), and a switch to the next song's
// file does not end the activity, since the next file begins before the last one is finished.
//
// Main thread only.

#include <QObject>
#include <QSet>
#include <QString>

namespace wavelot {

class Recorder;

class RecordingActivity : public QObject {
    Q_OBJECT

public:
    // Follows the recorder's signals; when the recorder goes away, so does the activity.
    explicit RecordingActivity(Recorder& recorder, QObject* parent = nullptr);

    bool Active() const { return !files_.isEmpty(); }

Q_SIGNALS:
    void activeChanged(bool active);

private:
    void Set(const QString& file, bool writing);

    QSet<QString> files_;  // begun and not finished
};

}  // namespace wavelot
