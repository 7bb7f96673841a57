#include "engine/audio/station_loudness.h"

#include "engine/audio/loudness_leveller.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace wavelot::audio {

namespace {
// A line longer than this is not one of ours: addresses are far shorter.
constexpr qsizetype kMaxLineBytes = 4096;
}  // namespace

StationLoudness& StationLoudness::Shared() {
    static StationLoudness shared;
    return shared;
}

std::optional<double> StationLoudness::Find(const QByteArray& station) const {
    std::lock_guard lock(mu_);
    const auto it = table_.constFind(station);
    if (it == table_.cend())
        return std::nullopt;
    return it->gainDb;
}

void StationLoudness::Keep(const QByteArray& station, double gainDb) {
    if (station.isEmpty() || station.size() > kMaxLineBytes || !std::isfinite(gainDb))
        return;
    gainDb = std::clamp(gainDb, -LoudnessLeveller::kMaxCutDb, LoudnessLeveller::kMaxBoostDb);
    std::lock_guard lock(mu_);
    if (!table_.contains(station) && table_.size() >= kMaxStations) {
        auto oldest = table_.begin();
        for (auto it = table_.begin(); it != table_.end(); ++it)
            if (it->used < oldest->used)
                oldest = it;
        table_.erase(oldest);
    }
    table_.insert(station, {gainDb, ++clock_});
    changed_ = true;
}

bool StationLoudness::Load(const QString& file) {
    QHash<QByteArray, Entry> table;
    QFile f(file);
    if (f.exists()) {
        if (!f.open(QIODevice::ReadOnly))
            return false;
        while (table.size() < kMaxStations && !f.atEnd()) {
            const QByteArray line = f.readLine(kMaxLineBytes + 32).trimmed();
            const qsizetype tab = line.indexOf('\t');
            if (tab <= 0)
                continue;
            bool ok = false;
            const double gain = line.left(tab).toDouble(&ok);
            const QByteArray station = line.mid(tab + 1);
            if (!ok || !(gain >= -LoudnessLeveller::kMaxCutDb && gain <= LoudnessLeveller::kMaxBoostDb) ||
                station.isEmpty() || station.size() > kMaxLineBytes || table.contains(station))
                continue;
            // The first line was played last.
            table.insert(station, {gain, quint64(kMaxStations - table.size())});
        }
    }
    std::lock_guard lock(mu_);
    table_ = std::move(table);
    clock_ = kMaxStations;
    changed_ = false;
    return true;
}

bool StationLoudness::Save(const QString& file) {
    std::vector<std::pair<quint64, QByteArray>> order;
    QHash<QByteArray, Entry> table;
    {
        std::lock_guard lock(mu_);
        if (!changed_)
            return true;
        table = table_;
        changed_ = false;
    }
    order.reserve(size_t(table.size()));
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        order.emplace_back(it->used, it.key());
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    QByteArray text;
    for (const auto& [used, station] : order)
        text += QByteArray::number(table.value(station).gainDb, 'f', 2) + '\t' + station + '\n';
    QSaveFile f(file);
    if (f.open(QIODevice::WriteOnly) && f.write(text) == text.size() && f.commit())
        return true;
    std::lock_guard lock(mu_);
    changed_ = true;  // tried again at the next save
    return false;
}

}  // namespace wavelot::audio
