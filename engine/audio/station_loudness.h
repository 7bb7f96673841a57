#pragma once
// Loudness levelling between stations, the part the program drives: whether it is on, and the
// gain each station was last levelled with, kept in a small file of the settings folder so the
// next play of a station starts at it. The streams' decoder threads read and update it; the
// program's main thread loads and saves the file.
//
// Locking: mu_ guards the table and is held only for a look-up, one update or a copy of the
// table (at most kMaxStations entries); the file is read and written outside it. The switch is
// an atomic the audio threads read once per block.

#include <QByteArray>
#include <QHash>
#include <QString>

#include <atomic>
#include <mutex>
#include <optional>

namespace wavelot::audio {

class StationLoudness {
public:
    // Stations kept at most; the ones played longest ago go first.
    static constexpr int kMaxStations = 1000;
    // The file beside Setting.ini.
    static constexpr char16_t kFileName[] = u"Loudness.txt";

    // The one table the streams use.
    static StationLoudness& Shared();

    void SetEnabled(bool on) { enabled_ = on; }
    bool Enabled() const { return enabled_; }

    // The gain in dB the station was last levelled with.
    std::optional<double> Find(const QByteArray& station) const;
    void Keep(const QByteArray& station, double gainDb);

    // Replaces the table with the file's lines "gain<TAB>address", most recently played first.
    // Lines that do not read as such, gains outside the levelling's range and lines past
    // kMaxStations are left out; a missing file is an empty table. False when it cannot be read.
    bool Load(const QString& file);
    // Writes the table (atomically) when it changed since it was loaded or last saved.
    bool Save(const QString& file);

private:
    struct Entry {
        double gainDb = 0;
        quint64 used = 0;  // a higher number was kept later
    };
    std::atomic<bool> enabled_{false};
    mutable std::mutex mu_;
    QHash<QByteArray, Entry> table_;  // (mu_)
    quint64 clock_ = 0;               // (mu_)
    bool changed_ = false;            // (mu_)
};

}  // namespace wavelot::audio
