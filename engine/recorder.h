#pragma once
// Records the stream that plays to files, one per song title, in one folder per station under
// the recording folder of the options. It does not encode itself: the audio library feeds the
// decoded sound to the external lame program, which writes an MP3, or, for the quality "the
// station's own format", copies the stream's own packets into a file of the codec's container;
// the recorder tags the file once it is finished.
//
// The recorder alone owns recording: the wish to record (the record command's toggle, a job's or
// the reconnect's start, the resume after a reconnect) and every encoder start and stop. It
// listens to the player: a title that begins while the wish is set closes the running file and
// begins the next one; the player leaving a stream (a connect, a stop) ends its encoder and the
// wish. Where a file ends and the next begins is a frame of the stream, not the moment the
// call comes: the title's own position for a title change, so one song's file ends and the next
// begins exactly where the station's metadata put the change. Whoever ends an encoder, the recorder
// hears of it (the library's encoder notification) and finishes the file: it writes the song's
// tags (recording_tags.h), and it reports an encoder that ended by
// itself, or hung and was killed (the library drops one that takes no sound for
// AudioLibrary::kEncoderStallSeconds), as one play-log line.
//
// Main thread only; it never waits for lame (the library ends encoders on threads of its own).

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

#include "engine/audio/audio_library.h"
#include "engine/audio/stream_engine.h"
#include "engine/recording_tags.h"

namespace wavelot {

class Player;
class RecordOptions;

// The station's logo for the cover of its recordings: a PNG file, or empty for none.
using CoverLookup = std::function<QString(const QString& stationUrl)>;

class Recorder : public QObject {
    Q_OBJECT

public:
    // programFolder: where a lame of the program's own is looked for; defaultFolder: the
    // recording folder used when the options name none (RecordFolder()). options and player
    // must outlive the recorder.
    Recorder(Player& player, StreamEngine& audio, const RecordOptions& options, QString programFolder,
             QString defaultFolder, QObject* parent = nullptr);
    ~Recorder() override;

    // Where the files begun from now on find their cover; none is set by default.
    void SetCoverLookup(CoverLookup lookup) { coverOf_ = std::move(lookup); }

    // The wish to record: set by the record command, a job or the reconnect, cleared by the
    // record command and whenever the player leaves the stream.
    bool IsRecording() const { return recording_; }
    // The record command: ends the running file and clears the wish when recording, else sets
    // the wish and begins a file from what the listener hears now.
    void ToggleRecording();
    // The record command when it must start, not toggle (a job, loop recording): the file begins
    // at the stream's first sound still held; nothing when recording already.
    void StartRecording();
    // Writes the last `seconds` heard (as far as the stream's kept sound reaches) to one file in
    // the station's folder, "<station> yymmdd_hhmmss-hhmmss.mp3", tagged with the station, in the
    // recording quality; it is finished off the main thread. Returns the file, empty when nothing
    // plays or it cannot begin (reported in the play log).
    QString SaveRecent(int seconds);
    // Sets the wish again after a reconnect cleared it, the file beginning at `from` (after what
    // the dropped stream's recording holds). Nothing when recording already or the player is
    // not connected.
    void ResumeRecording(const audio::EncodeFrom& from);
    // Ends the running file at the frame the listener hears now, not at the last one decoded
    // (which runs a little ahead of it); the wish stays. A job's stop second ends its file so.
    void EndFileAtHeard();
    // Ends the running file and the wish whatever the player's state: at shutdown, where a stream
    // that dropped is not left by the player's stop.
    void EndRecording();
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
    // The wish to record changed by the record command, a job, the reconnect or a resume.
    void recordingChanged(bool recording);
    void fileStarted(const QString& file);
    // The file is complete: its encoder has ended and its tag is final.
    void fileFinished(const QString& file);

private:
    // Closes the running file and begins one for the current title, in the current station's
    // folder, at `from`; does nothing while the current stream is not playing. A file that
    // cannot begin (no lame, the folder not writable) is reported in the play log and nothing
    // records; the wish stays, so the next title change tries again.
    void StartRecord(const audio::EncodeFrom& from);
    void OnTitleBegins(quint64 frame);
    void OnStreamLeaving(audio::StreamHandle stream);
    // The one place where the running file ends and the next begins (argv empty: only ends).
    // flags: audio::ENCODE_COPY when argv is the file for the stream's own packets.
    bool SwitchFile(audio::StreamHandle stream, const QString& file, const QStringList& argv,
                    const RecordingTags& tags, const audio::EncodeFrom& from, quint32 flags = 0);
    void OnEncoderDied(audio::EncoderHandle encoder, const QString& file, bool stalled);
    void OnEncoderFreed(audio::EncoderHandle encoder, const QString& file);
    void Report(const QString& text);
    // The song's tags, the station's logo as cover.
    RecordingTags FileTags(const QString& title, const QString& station, const QDate& date) const;

    Player& player_;
    StreamEngine& audio_;
    const RecordOptions& options_;
    const QString programFolder_;
    const QString defaultFolder_;
    CoverLookup coverOf_;
    audio::EncoderHandle encoder_ = 0;  // the encoder of currentFile_
    audio::StreamHandle stream_ = 0;    // the stream it records
    QString currentFile_;
    int unfinished_ = 0;
    bool recording_ = false;
};

}  // namespace wavelot
