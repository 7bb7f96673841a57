#include "directories/scan_util.h"

#include <algorithm>

namespace wavelot::scan {

QString TrimBlanks(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.sliced(begin, end - begin).toString();
}

bool MatchesLowerAt(QStringView text, qsizetype pos, QStringView lowerMarker) {
    if (pos < 0 || pos > text.size() - lowerMarker.size())
        return false;
    for (qsizetype k = 0; k < lowerMarker.size(); ++k) {
        if (text[pos + k].toLower() != lowerMarker[k])
            return false;
    }
    return true;
}

qsizetype FindBefore(QStringView text, QStringView needle, qsizetype from, qsizetype limit,
                     Qt::CaseSensitivity cs) {
    limit = std::min(limit, text.size());
    from = std::max<qsizetype>(from, 0);
    if (from >= limit)
        return -1;
    const qsizetype hit = text.first(limit).indexOf(needle, from, cs);
    return hit;
}

qsizetype FindInWindow(QStringView text, qsizetype start, qsizetype window, QStringView terminator) {
    if (start < 0 || start >= text.size())
        return -1;
    // The last candidate start is start + window; the terminator must also fit in the text.
    const qsizetype limit = std::min(text.size(), start + window + terminator.size());
    return FindBefore(text, terminator, start, limit);
}

}  // namespace wavelot::scan
