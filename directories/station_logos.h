#pragma once
// Station logos: the image a directory (Radio-Browser's favicon) or the stream itself (icy-logo)
// names for a station, fetched once in the background and kept as a small PNG in the per-user
// cache, for the desktop's media controls, notifications and the covers of recordings.
//
// A logo never costs the connect anything: the fetch runs on a worker thread of its own with
// its own time limit, and what comes back is taken only when it is a real image of reasonable
// size. Anything else (too large, not an image, too slow, no answer) leaves everything as it
// was, and the same address is not tried again in this run.
//
// The files are named by a hash of the logo's address, so stations sharing one logo share the
// file, and a logo fetched in an earlier run is used at once without the network. The folder
// is private to the user (0700) and holds at most kMaxFiles logos: the oldest go at start.
//
// Main thread only, except for the workers, which touch nothing but their own copies and the
// cache folder, and report back through a queued call.

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>
#include <unordered_map>

namespace wavelot {

// The logo's bytes as the PNG the cache keeps: decoded by Qt's image readers, scaled down to
// kLogoMaxSide pixels on its longer side when larger. Empty when the bytes are not an image Qt
// can read, or one whose pixels would take more memory than a logo ever needs.
QByteArray LogoPng(const QByteArray& imageBytes);

inline constexpr int kLogoMaxSide = 256;

class StationLogos : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 kMaxBytes = 512 * 1024;
    static constexpr std::chrono::milliseconds kTimeLimit{15000};
    static constexpr int kMaxFiles = 500;

    // folder: where the logos are kept (created when missing). settingFile: the Setting.ini
    // whose proxy the fetches use, read at each fetch as the player reads it at each connect.
    StationLogos(QString folder, QString settingFile, QObject* parent = nullptr);
    // Stops the fetches still running and waits for their threads.
    ~StationLogos() override;
    StationLogos(const StationLogos&) = delete;
    StationLogos& operator=(const StationLogos&) = delete;

    // Tests shorten the time a fetch may take.
    void SetTimeLimit(std::chrono::milliseconds limit) { timeLimit_ = limit; }

    // The station at stationUrl has the logo at logoUrl (http or https; anything else is
    // ignored). A logo already in the cache is the station's at once; otherwise it is fetched,
    // unless that was tried before in this run. logoReady follows once the station has its file.
    void Want(const QString& stationUrl, const QString& logoUrl);
    // The PNG of the station's logo, or empty while it has none.
    QString LogoFile(const QString& stationUrl) const;
    const QString& Folder() const { return folder_; }
    // A fetch is running (its result not yet taken).
    bool Fetching() const { return !workers_.empty(); }

Q_SIGNALS:
    void logoReady(const QString& stationUrl);

private:
    QString FileFor(const QString& logoUrl) const;
    void Fetched(const QString& logoUrl, bool ok);
    void TrimFolder();

    const QString folder_;
    const QString settingFile_;
    std::chrono::milliseconds timeLimit_ = kTimeLimit;
    QHash<QString, QString> files_;          // station address -> its logo file
    QHash<QString, QSet<QString>> waiting_;  // logo address being fetched -> stations wanting it
    QSet<QString> tried_;                    // logo addresses fetched (or being fetched) this run
    std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
    std::unordered_map<QString, std::thread> workers_;  // by logo address, joined when it reports
};

}  // namespace wavelot
