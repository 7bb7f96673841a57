#pragma once
// Stations recorded in the background, beside the one that plays: each with a connection of its
// own whose sound is decoded and recorded but never reaches the sound card. Each recording is
// the program's own player, recorder and reconnect on that connection, so its files are split
// per title, named and foldered, and reconnected, exactly as the playing station's. Their play
// log lines go to the program's play log, each beginning with the station's name.
//
// Main thread only.

#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <vector>

#include "engine/audio/stream_engine.h"
#include "engine/recorder.h"

namespace wavelot {

class PlayLog;
class RecordOptions;

class BackgroundRecordings : public QObject {
    Q_OBJECT

public:
    // The arguments as the recorder's; log is the program's play log. All must outlive this.
    BackgroundRecordings(QString settingFile, StreamEngine& audio, PlayLog& log, const RecordOptions& options,
                         QString programFolder, QString defaultFolder, QObject* parent = nullptr);
    ~BackgroundRecordings() override;

    // Where the recordings started from now on find their cover.
    void SetCoverLookup(CoverLookup lookup) { coverOf_ = std::move(lookup); }

    // Connects to the station and records it until Stop with the same key; nothing when that
    // key records already. A station that cannot be reached or recorded says why in the play log.
    void Start(const QString& key, const QString& url, const QString& name, int code);
    // Ends the recording and its connection; its last file is finished when its encoder ends.
    void Stop(const QString& key);
    void StopAll();
    int Count() const { return int(running_.size()); }
    // Files begun whose encoder has not finished yet, of running and stopped recordings.
    int UnfinishedFiles() const;

Q_SIGNALS:
    // A file is complete and tagged.
    void fileFinished(const QString& file);

private:
    class One;
    void OnFileFinished(const QString& file);

    const QString settingFile_;
    StreamEngine& audio_;
    PlayLog& log_;
    const RecordOptions& options_;
    const QString programFolder_;
    const QString defaultFolder_;
    CoverLookup coverOf_;
    std::map<QString, std::unique_ptr<One>> running_;
    std::vector<std::unique_ptr<One>> stopping_;  // stopped, their last file not yet finished
};

}  // namespace wavelot
