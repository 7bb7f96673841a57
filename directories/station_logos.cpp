#include "directories/station_logos.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <algorithm>

#include "core/atomic_file.h"
#include "core/settings.h"
#include "net/http_fetch.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

// A logo of 4096 x 4096 pixels still reads; a small file claiming far more pixels (a
// decompression bomb) is refused by the reader before it allocates them.
constexpr int kDecodeLimitMiB = 64;

bool WebAddress(const QString& address) {
    return address.startsWith(u"http://"_s, Qt::CaseInsensitive) ||
           address.startsWith(u"https://"_s, Qt::CaseInsensitive);
}

}  // namespace

QByteArray LogoPng(const QByteArray& imageBytes) {
    QBuffer buffer;
    buffer.setData(imageBytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer);
    reader.setAllocationLimit(kDecodeLimitMiB);
    QImage image = reader.read();
    if (image.isNull())
        return {};
    if (image.width() > kLogoMaxSide || image.height() > kLogoMaxSide)
        image = image.scaled(kLogoMaxSide, kLogoMaxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QByteArray png;
    QBuffer out(&png);
    if (!out.open(QIODevice::WriteOnly) || !image.save(&out, "PNG"))
        return {};
    return png;
}

StationLogos::StationLogos(QString folder, QString settingFile, QObject* parent)
    : QObject(parent), folder_(std::move(folder)), settingFile_(std::move(settingFile)) {
    TrimFolder();
}

StationLogos::~StationLogos() {
    stop_->store(true);
    for (auto& [url, worker] : workers_)
        worker.join();
}

QString StationLogos::FileFor(const QString& logoUrl) const {
    const QByteArray hash = QCryptographicHash::hash(logoUrl.toUtf8(), QCryptographicHash::Sha256);
    return QDir(folder_).filePath(QString::fromLatin1(hash.toHex().left(40)) + u".png"_s);
}

void StationLogos::Want(const QString& stationUrl, const QString& logoUrl) {
    const QString address = logoUrl.trimmed();
    if (stationUrl.isEmpty() || !WebAddress(address))
        return;
    const QString file = FileFor(address);
    if (QFileInfo(file).isFile()) {
        if (files_.value(stationUrl) != file) {
            files_.insert(stationUrl, file);
            Q_EMIT logoReady(stationUrl);
        }
        return;
    }
    if (waiting_.contains(address)) {
        waiting_[address].insert(stationUrl);
        return;
    }
    if (tried_.contains(address))
        return;
    tried_.insert(address);
    // Made at the first fetch, so a run without logos leaves no folder behind.
    if (!QDir().mkpath(folder_))
        return;
    QFile::setPermissions(folder_, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    waiting_[address].insert(stationUrl);

    HttpLimits limits{.timeLimit = timeLimit_, .maxBodyBytes = kMaxBytes, .cancel = stop_.get()};
    const Settings settings(settingFile_);
    limits.proxy = settings.EnabledProxy() == 1 ? settings.UserProxy().toUtf8() : QByteArray("");
    // The worker holds the stop flag itself, so it never reads this object.
    workers_[address] = std::thread([this, stop = stop_, address, file, limits] {
        const HttpResult answer = HttpGet(address, limits);
        const QByteArray png = answer.Ok() ? LogoPng(answer.body) : QByteArray();
        const bool ok = !png.isEmpty() && !stop->load() && WriteFileAtomically(file, png);
        QMetaObject::invokeMethod(
            this, [this, address, ok] { Fetched(address, ok); }, Qt::QueuedConnection);
    });
}

void StationLogos::Fetched(const QString& logoUrl, bool ok) {
    if (auto it = workers_.find(logoUrl); it != workers_.end()) {
        it->second.join();  // it has nothing left to do but end
        workers_.erase(it);
    }
    const QSet<QString> stations = waiting_.take(logoUrl);
    if (!ok)
        return;
    const QString file = FileFor(logoUrl);
    for (const QString& station : stations) {
        files_.insert(station, file);
        Q_EMIT logoReady(station);
    }
}

QString StationLogos::LogoFile(const QString& stationUrl) const {
    return files_.value(stationUrl);
}

void StationLogos::TrimFolder() {
    QDir dir(folder_);
    for (const QString& name : dir.entryList({u"*.png.tmp-*"_s}, QDir::Files | QDir::Hidden))
        RemoveStaleTempFiles(dir.filePath(name.left(name.indexOf(u".tmp-"_s))));
    const QFileInfoList logos = dir.entryInfoList({u"*.png"_s}, QDir::Files, QDir::Time);  // newest first
    for (qsizetype i = kMaxFiles; i < logos.size(); ++i)
        QFile::remove(logos[i].filePath());
}

}  // namespace wavelot
