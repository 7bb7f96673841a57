#include "engine/recorder.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>
#include <QStorageInfo>

#include "core/path_utils.h"
#include "core/settings_keys.h"
#include "engine/player.h"
#include "engine/record_files.h"
#include "engine/record_options.h"
#include "engine/time_text.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

const QString kRecordingNow = u"正在錄製 "_s;
const QString kCannotRecord = u"錯誤！無法錄音："_s;
const QString kRecordingBroken = u"錯誤！錄音中斷："_s;
const QString kNoLame = u"找不到編碼程式 lame"_s;
const QString kLameWontStart = u"無法啟動編碼程式 "_s;
const QString kCannotWrite = u"無法寫入 "_s;
const QString kDiskFull = u"磁碟空間不足 "_s;
const QString kLameEnded = u"編碼程式 lame 已結束 "_s;
const QString kLameStalled = u"編碼程式 lame 沒有回應 "_s;
const QString kSavingRecent = u"儲存最近的聲音 "_s;

// A file of the last minutes: "<station> yymmdd_hhmmss-hhmmss", the station's name made safe.
QString RecentFileBase(const QString& station, const QDateTime& from, const QDateTime& to) {
    return StationFolderName(station) + from.toString(u" yyMMdd_HHmmss"_s) + to.toString(u"-HHmmss"_s);
}

// lame overwrites the file from its start; creating it first tells a folder that cannot be
// written to from an encoder that cannot start.
bool CreateEmptyFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate);
}

// What is left to do once lame has ended: the song's tags (which also drop the length frame
// lame writes for a live WAV input, 4294967295 ms, that players show as a 49-day song). A file
// lame never wrote to is removed rather than left empty.
void FinishFile(const QString& file, const RecordingTags& tags) {
    const QFileInfo info(file);
    if (info.exists() && info.size() == 0) {
        QFile::remove(file);
        return;
    }
    WriteRecordingTags(file, tags);
}

}  // namespace

Recorder::Recorder(Player& player, StreamEngine& audio, const RecordOptions& options, QString programFolder,
                   QString defaultFolder, QObject* parent)
    : QObject(parent),
      player_(player),
      audio_(audio),
      options_(options),
      programFolder_(std::move(programFolder)),
      defaultFolder_(std::move(defaultFolder)) {
    connect(&player_, &Player::titleBegins, this,
            [this](const QString&, quint64 frame) { OnTitleBegins(frame); });
    connect(&player_, &Player::streamLeaving, this, &Recorder::OnStreamLeaving);
}

Recorder::~Recorder() = default;

QString Recorder::LamePath() const {
    const QFileInfo own(WithBackslash(programFolder_) + u"lame"_s);
    if (own.isFile() && own.isExecutable())
        return own.absoluteFilePath();
    return QStandardPaths::findExecutable(u"lame"_s);
}

void Recorder::ToggleRecording() {
    if (recording_) {
        audio_.EncodeStop(player_.Current());
        recording_ = false;
    } else {
        recording_ = true;
        // The song that plays is recorded whole: from its title's frame, decoded again from the
        // stream's kept sound when that is older than the last seconds.
        StartRecord(options_.RecordFromSongStart()
                        ? audio::EncodeFrom{.sample = player_.TitleFrame(), .rewind = true}
                        : audio::EncodeFrom{});
    }
    Q_EMIT recordingChanged(recording_);
}

void Recorder::StartRecording() {
    if (recording_)
        return;
    // A job or a reconnect records from the first sound of its stream (the oldest frame held,
    // which on a fresh connect is its first), not from what is heard once it asks.
    recording_ = true;
    StartRecord({.sample = 0});
    Q_EMIT recordingChanged(true);
}

QString Recorder::SaveRecent(int seconds) {
    if (!player_.IsPlaying() || seconds <= 0)
        return {};
    const QString root = RecordingRoot(options_.RecordingFolder(), defaultFolder_, programFolder_);
    const QString station = player_.DisplayName();
    const QString folder = root + StationFolderName(station) + u'/';
    CreateFolder(folder);
    const QDateTime now = QDateTime::currentDateTime();
    const QString base = RecentFileBase(station, now.addSecs(-seconds), now);
    const QString file = folder + base + u".mp3"_s;
    const QString lame = LamePath();
    if (lame.isEmpty() || !CreateEmptyFile(file)) {
        Report(kCannotRecord + (lame.isEmpty() ? kNoLame : kCannotWrite + file));
        return {};
    }
    const RecordingTags tags = FileTags(base, station, now.date());
    ++unfinished_;
    QPointer<Recorder> self(this);
    const audio::EncoderHandle encoder = audio_.EncodeSpan(
        player_.Current(), LameArguments(lame, file, QualityBitrate(options_.QualityIndex())), 0,
        quint64(seconds), [self, file, tags](audio::EncoderHandle, quint32 status) {
            if (status != audio::ENCODE_NOTIFY_FREE) {
                if (self)
                    self->Report(kRecordingBroken + kLameEnded + file);
                return;
            }
            FinishFile(file, tags);
            if (self) {
                --self->unfinished_;
                Q_EMIT self->fileFinished(file);
            }
        });
    if (!encoder) {
        --unfinished_;
        QFile::remove(file);
        Report(kCannotRecord + kLameWontStart + lame);
        return {};
    }
    Report(kSavingRecent + file);
    return file;
}

void Recorder::ResumeRecording(const audio::EncodeFrom& from) {
    if (recording_ || !player_.IsConnected())
        return;
    recording_ = true;
    StartRecord(from);
    Q_EMIT recordingChanged(true);
}

void Recorder::EndFileAtHeard() {
    // A switch to no program ends the running ones at the frame it is given: what is heard.
    if (encoder_)
        audio_.EncodeSwitch(stream_, {}, 0, {});
}

void Recorder::EndRecording() {
    audio_.EncodeStop(player_.Current());
    if (recording_) {
        recording_ = false;
        Q_EMIT recordingChanged(false);
    }
}

void Recorder::OnTitleBegins(quint64 frame) {
    if (recording_)
        StartRecord({.sample = frame});
    else
        audio_.EncodeStop(player_.Current());
}

void Recorder::OnStreamLeaving(audio::StreamHandle stream) {
    audio_.EncodeStop(stream);
    recording_ = false;
}

void Recorder::StartRecord(const audio::EncodeFrom& from) {
    const audio::StreamHandle stream = player_.Current();
    if (!player_.IsPlaying())
        return;
    const QString root = RecordingRoot(options_.RecordingFolder(), defaultFolder_, programFolder_);
    const QString folder = root + StationFolderName(player_.DisplayName()) + u'/';
    CreateFolder(folder);
    const QString title = player_.SongTitle();
    // The station's own packets when asked for and its codec allows; else lame's MP3.
    const QString own = options_.QualityIndex() == settings::kQualityOwnFormat
                            ? audio_.ChannelCopyExtension(stream)
                            : QString();
    const QString file = ChooseRecordingFile(folder, SongFileBase(title), QDateTime::currentDateTime(),
                                             PathExists, own.isEmpty() ? u".mp3"_s : own);

    if (!CreateEmptyFile(file)) {
        SwitchFile(stream, QString(), {}, {}, from);
        Report(kCannotRecord + kCannotWrite + file);
        return;
    }
    const QString lame = own.isEmpty() ? LamePath() : QString();
    QStringList argv;
    if (!own.isEmpty())
        argv = QStringList{file};
    else if (!lame.isEmpty())
        argv = LameArguments(lame, file, QualityBitrate(options_.QualityIndex()));
    const RecordingTags tags = FileTags(title, player_.DisplayName(), QDate::currentDate());
    if (!SwitchFile(stream, file, argv, tags, from, own.isEmpty() ? 0 : audio::ENCODE_COPY)) {
        QFile::remove(file);
        Report(kCannotRecord + (!own.isEmpty()   ? kCannotWrite + file
                                : lame.isEmpty() ? kNoLame
                                                 : kLameWontStart + lame));
        return;
    }
    Report(kRecordingNow + title);
}

audio::AudioTail Recorder::RecordingTail() const {
    return encoder_ ? audio_.ChannelGetTail(stream_) : audio::AudioTail();
}

bool Recorder::SwitchFile(audio::StreamHandle stream, const QString& file, const QStringList& argv,
                          const RecordingTags& tags, const audio::EncodeFrom& from, quint32 flags) {
    const audio::EncoderHandle encoder = audio_.EncodeSwitch(stream, argv, flags, from);
    encoder_ = encoder;
    stream_ = stream;
    currentFile_ = encoder ? file : QString();
    if (!encoder)
        return false;
    ++unfinished_;
    QPointer<Recorder> self(this);
    audio_.EncodeSetNotify(encoder, [self, file, tags](audio::EncoderHandle enc, quint32 status) {
        if (status == audio::ENCODE_NOTIFY_FREE) {
            FinishFile(file, tags);
            if (self)
                self->OnEncoderFreed(enc, file);
        } else if (self) {
            self->OnEncoderDied(enc, file, status == audio::ENCODE_NOTIFY_STALLED);
        }
    });
    Q_EMIT fileStarted(file);
    return true;
}

void Recorder::OnEncoderDied(audio::EncoderHandle encoder, const QString& file, bool stalled) {
    // Also a file already switched away from: one whose program hung at its end is incomplete.
    const QStorageInfo disk(QFileInfo(file).absolutePath());
    const bool full = disk.isValid() && disk.bytesAvailable() < kDiskFullBytes;
    Report(kRecordingBroken + (full ? kDiskFull : stalled ? kLameStalled : kLameEnded) + file);
    if (encoder == encoder_) {
        encoder_ = 0;
        currentFile_.clear();
    }
    // Releases the dead encoder; its end notification finishes the file.
    audio_.EncodeStop(encoder);
}

void Recorder::OnEncoderFreed(audio::EncoderHandle encoder, const QString& file) {
    if (encoder == encoder_) {
        encoder_ = 0;
        currentFile_.clear();
    }
    --unfinished_;
    Q_EMIT fileFinished(file);
}

RecordingTags Recorder::FileTags(const QString& title, const QString& station, const QDate& date) const {
    RecordingTags tags = SongFileTags(title, station, player_.StationUrl(), date);
    if (coverOf_)
        tags.cover = coverOf_(player_.StationUrl());
    return tags;
}

void Recorder::Report(const QString& text) {
    player_.Log().Add(LogTimePrefix() + text, true);
}

}  // namespace wavelot
