#include "engine/play_log.h"

#include "core/song_array.h"

namespace wavelot {

PlayLog::PlayLog(clsSongArray& lines, QObject* parent) : QObject(parent), lines_(lines) {}

void PlayLog::Add(const QString& text, bool scroll) {
    lines_.AddItem({.file = text});
    Q_EMIT lineAdded(text, scroll);
}

void PlayLog::Clear() {
    lines_.Clear();
    Q_EMIT cleared();
}

}  // namespace wavelot
