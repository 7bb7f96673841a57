#pragma once
// What the recorder and the reconnect read from the user's options at the moment they act. The
// options dialog answers from its controls (an edit counts for this run even when it was not
// applied); the command-line tool and the tests give values of their own.

#include <QString>

namespace wavelot {

class RecordOptions {
public:
    virtual ~RecordOptions() = default;
    // The recording folder as the user typed or chose it: it may be empty or relative.
    virtual QString RecordingFolder() const = 0;
    // Index of the chosen quality entry (settings::kQualityTexts); anything else when none is.
    virtual int QualityIndex() const = 0;
    // Whether a dropped stream that was opened again is recorded again.
    virtual bool LoopRecording() const = 0;
    // Whether the record command begins the file at the start of the song that plays.
    virtual bool RecordFromSongStart() const = 0;
};

// Options fixed by their owner, for users without the dialog (the command-line tool).
struct FixedRecordOptions : RecordOptions {
    QString folder;
    int quality = 0;
    bool loop = false;
    bool fromSongStart = false;  // the record command records from what is heard
    QString RecordingFolder() const override { return folder; }
    int QualityIndex() const override { return quality; }
    bool LoopRecording() const override { return loop; }
    bool RecordFromSongStart() const override { return fromSongStart; }
};

}  // namespace wavelot
