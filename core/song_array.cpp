#include "core/song_array.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace wavelot {

using namespace Qt::Literals::StringLiterals;

struct clsSongArray::Record : StationRow {};

clsSongArray::clsSongArray() {
    Clear();
}
clsSongArray::~clsSongArray() {
    for (Record* r : slots_)
        delete r;
}

clsSongArray::Record* clsSongArray::Slot(int nIndex) {
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= slots_.size())
        return nullptr;
    return slots_[static_cast<size_t>(nIndex)];
}

const clsSongArray::Record* clsSongArray::Slot(int nIndex) const {
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= slots_.size())
        return nullptr;
    return slots_[static_cast<size_t>(nIndex)];
}

void clsSongArray::AddItem(const StationRow& row, int nIndex) {
    if (!empty_) {
        auto fresh = std::make_unique<Record>();
        slots_.push_back(fresh.get());
        fresh.release();
    }
    empty_ = false;
    static_cast<StationRow&>(*slots_.back()) = row;

    const int u = static_cast<int>(slots_.size()) - 1;
    if (nIndex != -1 && nIndex < u) {
        // Same result as bubbling the new record down by exchanges, in one move.
        const int target = std::max(nIndex, 0);
        Record* moved = slots_.back();
        std::move_backward(slots_.begin() + target, slots_.end() - 1, slots_.end());
        slots_[static_cast<size_t>(target)] = moved;
    }
}

void clsSongArray::Remove(int index) {
    if (slots_.size() > 1) {
        if (index >= 0 && index < ListCount()) {
            delete slots_[static_cast<size_t>(index)];
            slots_.erase(slots_.begin() + index);
        }
        return;
    }
    empty_ = true;
    *slots_[0] = Record();
}

void clsSongArray::Clear() {
    for (Record* r : slots_)
        delete r;
    slots_.clear();
    slots_.shrink_to_fit();
    auto fresh = std::make_unique<Record>();
    slots_.push_back(fresh.get());
    fresh.release();
    empty_ = true;
}

int clsSongArray::ListCount() const {
    return empty_ ? 0 : static_cast<int>(slots_.size());
}

#define WAVELOT_TEXT_FIELD(Getter, Setter, member)                 \
    QString clsSongArray::Getter(int nIndex) const {               \
        const Record* r = Slot(nIndex);                            \
        return r ? r->member : QString();                          \
    }                                                              \
    void clsSongArray::Setter(int nIndex, const QString& nValue) { \
        if (Record* r = Slot(nIndex))                              \
            r->member = nValue;                                    \
    }
#define WAVELOT_INT_FIELD(Getter, Setter, member)       \
    int clsSongArray::Getter(int nIndex) const {        \
        const Record* r = Slot(nIndex);                 \
        return r ? r->member : 0;                       \
    }                                                   \
    void clsSongArray::Setter(int nIndex, int nValue) { \
        if (Record* r = Slot(nIndex))                   \
            r->member = nValue;                         \
    }

WAVELOT_TEXT_FIELD(File, SetFile, file)
WAVELOT_TEXT_FIELD(Title, SetTitle, title)
WAVELOT_INT_FIELD(Code, SetCode, code)
WAVELOT_TEXT_FIELD(Comment, SetComment, comment)
WAVELOT_INT_FIELD(JobMode, SetJobMode, jobMode)
WAVELOT_INT_FIELD(JobType, SetJobType, jobType)
WAVELOT_TEXT_FIELD(JobStart, SetJobStart, jobStart)
WAVELOT_TEXT_FIELD(JobStop, SetJobStop, jobStop)
WAVELOT_INT_FIELD(RunJob, SetRunJob, runJob)
WAVELOT_INT_FIELD(WeekMark, SetWeekMark, weekMark)
WAVELOT_TEXT_FIELD(Logo, SetLogo, logo)

#undef WAVELOT_TEXT_FIELD
#undef WAVELOT_INT_FIELD

StationRow clsSongArray::Row(int nIndex) const {
    const Record* r = Slot(nIndex);
    return r ? static_cast<const StationRow&>(*r) : StationRow{};
}

void clsSongArray::SwapItems(int index1, int index2) {
    if (!Slot(index1) || !Slot(index2))
        return;
    std::swap(slots_[static_cast<size_t>(index1)], slots_[static_cast<size_t>(index2)]);
}

QString FormatFiveDigits(const QString& text) {
    // Accepts what a locale-aware numeric test accepts in practice for these columns: blanks
    // around, a sign, digits with optional thousands commas, an optional fraction.
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) {
        negative = t[i] == u'-';
        ++i;
    }
    QString digits;
    bool anyDigit = false;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c >= u'0' && c <= u'9') {
            digits += c;
            anyDigit = true;
        } else if (c == u',' && anyDigit && i + 1 < t.size() && t[i + 1] >= u'0' && t[i + 1] <= u'9') {
            continue;
        } else {
            break;
        }
    }
    QString fraction;
    if (i < t.size() && t[i] == u'.') {
        for (++i; i < t.size() && t[i] >= u'0' && t[i] <= u'9'; ++i) {
            fraction += t[i];
            anyDigit = true;
        }
    }
    if (!anyDigit || i != t.size())
        return text;

    // Round half away from zero on the decimal digits themselves, so long numbers stay exact.
    while (digits.size() > 1 && digits[0] == u'0')
        digits.remove(0, 1);
    if (digits.isEmpty())
        digits = u"0"_s;
    if (!fraction.isEmpty() && fraction[0] >= u'5') {
        qsizetype k = digits.size() - 1;
        while (k >= 0 && digits[k] == u'9') {
            digits[k] = u'0';
            --k;
        }
        if (k < 0)
            digits.prepend(u'1');
        else
            digits[k] = QChar(digits[k].unicode() + 1);
    }
    if (digits.size() < 5)
        digits = QString(5 - digits.size(), u'0') + digits;
    const bool isZero = std::all_of(digits.cbegin(), digits.cend(), [](QChar c) { return c == u'0'; });
    return (negative && !isZero) ? u'-' + digits : digits;
}

QString clsSongArray::SortKeyOf(int nIndex, int iSortParam) const {
    const Record* r = Slot(nIndex);
    if (!r)
        return QString();
    switch (iSortParam) {
    case kSortTitle: return r->title.toLower();
    case kSortComment: return r->comment.toLower();
    case kSortJobStart: {
        const qsizetype blank = r->jobStart.indexOf(u' ');
        return FormatFiveDigits(blank < 0 ? r->jobStart : r->jobStart.left(blank));
    }
    case kSortJobStop: return FormatFiveDigits(r->jobStop);
    default: return QString();
    }
}

void clsSongArray::Sort(bool Ascending, int iSortParam) {
    const int ub = static_cast<int>(slots_.size()) - 1;
    if (empty_ || ub < 1)
        return;

    // Keys are computed once and travel with their records.
    std::vector<QString> keys(slots_.size());
    for (int i = 0; i <= ub; ++i)
        keys[static_cast<size_t>(i)] = SortKeyOf(i, iSortParam);

    auto exchange = [&](int a, int b) {
        std::swap(slots_[static_cast<size_t>(a)], slots_[static_cast<size_t>(b)]);
        std::swap(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)]);
    };
    auto outOfOrder = [&](int a, int b) {
        const int c =
            QString::compare(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)], Qt::CaseSensitive);
        return Ascending ? c > 0 : c < 0;
    };

    const int lb = 0;
    int gap = ub / 2;
    if (gap == 0)
        gap = 1;  // two records: still compare them once
    while (gap > 0) {
        int limit = ub - gap;
        int lastSwap;
        do {
            lastSwap = 0;
            for (int j = lb; j <= limit; ++j) {
                if (outOfOrder(j, j + gap)) {
                    exchange(j, j + gap);
                    lastSwap = j;
                }
            }
            limit = lastSwap - gap;
        } while (lastSwap != 0);
        gap /= 2;
    }
}

}  // namespace wavelot
