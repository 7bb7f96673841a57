#pragma once
// Records the stream that plays to MP3 files, one per song title, in one folder per station
// under the recording folder of the options. It does not encode itself: the audio library feeds
// the decoded sound to the external lame program, which writes the file and its tags.
//
// The player calls StartRecord through its record-starter hook, when the record command turns
// recording on, when the title changes while recording and when a recording resumes after a
// reconnect; the player itself stops the encoder when recording is turned off or the station
// changes. Where a file ends and the next begins is a frame of the stream, not the moment the
// call comes: the title's own position for a title change, so one song's file ends and the next
// begins exactly where the station's metadata put the change. Whoever ends an encoder, the recorder
// hears of it (the library's encoder notification) and finishes the file: it takes out the
// bogus length frame lame writes for a live input, and it reports an encoder that ended by
// itself, or hung and was killed (the library drops one that takes no sound for
// AudioLibrary::kEncoderStallSeconds), as one play-log line.
//
// Main thread only; it never waits for lame (the library ends encoders on threads of its own).

#include <QObject>
#include <QString>
#include <QStringList>

#include "engine/audio/audio_library.h"

namespace wavelot {

class Player;
class RecordOptions;

class Recorder : public QObject {
    Q_OBJECT

public:
    // programFolder: where a lame of the program's own is looked for; defaultFolder: the
    // recording folder used when the options name none (RecordFolder()). options and player
    // must outlive the recorder.
    Recorder(Player& player, AudioLibrary& audio, const RecordOptions& options, QString programFolder,
             QString defaultFolder, QObject* parent = nullptr);
    ~Recorder() override;

    // Closes the running file and begins one for the current title, in the current station's
    // folder, at `from` (by default what the listener hears now); does nothing while the current
    // stream is not playing. A file that cannot begin (no lame, the folder not writable) is
    // reported in the play log and nothing records; the player's recording wish stays, so the
    // next title change tries again.
    void StartRecord(const audio::EncodeFrom& from = {});
    // The last seconds of the stream the running file records (empty when none runs): kept across
    // a reconnect, so the next file begins after what this one holds.
    audio::AudioTail RecordingTail() const;

    // lame from the program folder when it is there, else the one on PATH; empty when neither.
    QString LamePath() const;
    // The file being written; empty when none is.
    const QString& CurrentFile() const { return currentFile_; }
    // Files begun whose encoder has not finished yet.
    int UnfinishedFiles() const { return unfinished_; }

    // Kept free for the disk when the encoder ends: less than this counts as a full disk.
    static constexpr qint64 kDiskFullBytes = 1024 * 1024;

Q_SIGNALS:
    void fileStarted(const QString& file);
    // The file is complete: its encoder has ended and its tag is final.
    void fileFinished(const QString& file);

private:
    // The one place where the running file ends and the next begins (argv empty: only ends).
    bool SwitchFile(audio::StreamHandle stream, const QString& file, const QStringList& argv,
                    const audio::EncodeFrom& from);
    void OnEncoderDied(audio::EncoderHandle encoder, const QString& file, bool stalled);
    void OnEncoderFreed(audio::EncoderHandle encoder, const QString& file);
    void Report(const QString& text);

    Player& player_;
    AudioLibrary& audio_;
    const RecordOptions& options_;
    const QString programFolder_;
    const QString defaultFolder_;
    audio::EncoderHandle encoder_ = 0;  // the encoder of currentFile_
    audio::StreamHandle stream_ = 0;    // the stream it records
    QString currentFile_;
    int unfinished_ = 0;
};

}  // namespace wavelot
