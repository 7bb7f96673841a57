#include "engine/eq_presets.h"

#include <QStringList>

#include <cmath>

namespace wavelot {

std::optional<EqPreset> FindEqPreset(int index) {
    if (index < kEqFirstPreset || index > kEqLastPreset)
        return std::nullopt;
    return kEqPresets[static_cast<size_t>(index - kEqFirstPreset)];
}

QString EqPresetCaption(const EqPreset& preset) {
    return QString::fromUtf8(preset.caption);
}

std::array<float, kEqBandCount> ParseEqGains(const QString& gains) {
    std::array<float, kEqBandCount> out{};
    const QStringList parts = gains.split(u',');
    for (int i = 0; i < kEqBandCount && i < parts.size(); ++i) {
        bool ok = false;
        const float g = parts[i].trimmed().toFloat(&ok);
        out[static_cast<size_t>(i)] = (ok && std::isfinite(g)) ? g : 0.0f;
    }
    return out;
}

}  // namespace wavelot
