#include "engine/time_text.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace wavelot {

QString ClockText(const QTime& time) {
    return time.toString(u"HH:mm:ss"_s);
}

QString LogTimePrefix() {
    return ClockText(QTime::currentTime()) + u": "_s;
}

QString FormatSeconds(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0)
        return u"00:00:00"_s;
    const long long total = std::llround(seconds);
    const long long h = total / 3600;
    const long long m = (total / 60) % 60;
    const long long s = total % 60;
    return u"%1:%2:%3"_s.arg(h, 2, 10, QChar(u'0')).arg(m, 2, 10, QChar(u'0')).arg(s, 2, 10, QChar(u'0'));
}

}  // namespace wavelot
