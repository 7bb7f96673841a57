#include "core/list_ini_reader.h"

#include "core/ini_file.h"
#include "core/song_array.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QSysInfo>

#include <algorithm>
#include <climits>
#include <optional>
#include <unordered_map>
#include <vector>

namespace wavelot {

using namespace Qt::Literals::StringLiterals;

namespace {

// An entry's keys, by the name before its number; the job fields come last.
enum Field {
    kFile,
    kTitle,
    kCode,
    kComment,
    kLogo,
    kJobMode,
    kJobType,
    kStrTime,
    kStopTime,
    kRunJob,
    kWeekMark
};
constexpr int kPlainFields = kJobMode;
constexpr int kAllFields = kWeekMark + 1;
constexpr QStringView kFieldNames[kAllFields] = {u"File",     u"Title",   u"Code",    u"Comment",
                                                 u"Logo",     u"JobMode", u"JobType", u"StrTime",
                                                 u"StopTime", u"RunJob",  u"WeekMark"};

bool IsStationAddress(const QString& text) {
    return text.startsWith(u"HTTP"_s, Qt::CaseInsensitive) || text.startsWith(u"MMS"_s, Qt::CaseInsensitive);
}

// "File17" -> (kFile, 17); -1 for any other key, and for numbers the Windows program's lookups
// of "File" + n could never find ("File0", "File017", beyond the int range).
std::pair<int, int> EntryKey(QStringView key, int fields) {
    qsizetype digits = key.size();
    while (digits > 0 && key[digits - 1].isDigit() && key[digits - 1].unicode() < 128)
        --digits;
    const QStringView number = key.sliced(digits);
    if (number.isEmpty() || number.front() == u'0' || number.size() > 10)
        return {-1, 0};
    const qint64 n = number.toLongLong();
    if (n > INT_MAX)
        return {-1, 0};
    const QStringView name = key.first(digits);
    for (int f = 0; f < fields; ++f)
        if (name.compare(kFieldNames[f], Qt::CaseInsensitive) == 0)
            return {f, static_cast<int>(n)};
    return {-1, 0};
}

class Parser {
public:
    explicit Parser(bool withJobFields) : fields_(withJobFields ? kAllFields : kPlainFields) {}

    void Line(QStringView line) {
        const QStringView t = TrimIniBlanks(line);
        if (t.startsWith(u'[')) {
            if (const qsizetype close = t.indexOf(u']'); close > 0) {
                inSection_ =
                    TrimIniBlanks(t.sliced(1, close - 1)).compare(u"PlayList", Qt::CaseInsensitive) == 0;
                sawSection_ = sawSection_ || inSection_;
                return;
            }
        }
        if (!inSection_)
            return;
        const qsizetype eq = t.indexOf(u'=');
        if (eq <= 0)
            return;
        const QStringView key = TrimIniBlanks(t.first(eq));
        const QStringView value = UnquoteIniValue(TrimIniBlanks(t.sliced(eq + 1)));
        const auto [field, n] = EntryKey(key, fields_);
        if (field < 0) {
            if (!count_ && key.compare(u"NumberOfEntries", Qt::CaseInsensitive) == 0)
                count_ = value.toString();
            return;
        }
        Entry& e = At(n);
        if (e.seen & (1u << field))
            return;  // the first of equal keys wins
        e.seen |= 1u << field;
        QString text = value.toString();
        text.remove(QChar(0));
        StationRow& r = e.row;
        switch (field) {
        case kFile: r.file = std::move(text); break;
        case kTitle: r.title = std::move(text); break;
        case kCode: r.code = StrictInt(text); break;
        case kComment: r.comment = std::move(text); break;
        case kLogo: r.logo = std::move(text); break;
        case kJobMode: r.jobMode = StrictInt(text); break;
        case kJobType: r.jobType = StrictInt(text); break;
        case kStrTime: r.jobStart = std::move(text); break;
        case kStopTime: r.jobStop = std::move(text); break;
        case kRunJob: r.runJob = StrictInt(text); break;
        case kWeekMark: r.weekMark = StrictInt(text); break;
        }
    }

    // Appends the entries with a station address in the order of their numbers. True when the
    // count line was there and every entry it promises has its File key.
    bool Finish(clsSongArray& target, const RowAddedFn& rowAdded, int* added) {
        std::vector<Entry*> files;
        files.reserve(entries_.size());
        for (Entry& e : entries_)
            if (e.seen & (1u << kFile))
                files.push_back(&e);
        std::sort(files.begin(), files.end(), [](const Entry* a, const Entry* b) { return a->n < b->n; });
        for (Entry* e : files) {
            if (!IsStationAddress(e->row.file))
                continue;
            target.AddItem(e->row);
            e->row = {};
            ++*added;
            if (rowAdded)
                rowAdded();
        }
        if (!sawSection_ || !count_)
            return false;
        bool ok = false;
        const int promised = StrictInt(*count_, &ok);
        if (!ok || promised < 0)
            return false;
        const auto upTo = std::upper_bound(files.begin(), files.end(), promised,
                                           [](int n, const Entry* e) { return n < e->n; });
        return upTo - files.begin() == promised;
    }

private:
    struct Entry {
        int n = 0;
        unsigned seen = 0;  // bit per Field
        StationRow row;
    };

    Entry& At(int n) {
        // Entries come in order in every file this program writes: the last one is the usual hit.
        if (!entries_.empty() && entries_.back().n == n)
            return entries_.back();
        const auto [it, added] = index_.try_emplace(n, entries_.size());
        if (added)
            entries_.push_back({.n = n});
        return entries_[it->second];
    }

    const int fields_;
    bool inSection_ = false;
    bool sawSection_ = false;
    std::optional<QString> count_;  // the first NumberOfEntries value
    std::vector<Entry> entries_;
    std::unordered_map<int, size_t> index_;
};

}  // namespace

ListFileRead ParseListFile(QByteArrayView bytes, bool withJobFields, clsSongArray& target,
                           const RowAddedFn& rowAdded) {
    // The text: a view of the bytes where they are already UTF-16 in this machine's order.
    QString decoded;
    QStringView text;
    bool oddByte = false;
    const bool le = bytes.startsWith("\xFF\xFE");
    if (le || bytes.startsWith("\xFE\xFF")) {
        const QByteArrayView body = bytes.sliced(2, (bytes.size() - 2) & ~qsizetype(1));
        oddByte = bytes.size() % 2 != 0;
        const bool native = le == (QSysInfo::ByteOrder == QSysInfo::LittleEndian);
        if (native && reinterpret_cast<quintptr>(body.data()) % alignof(char16_t) == 0) {
            text = QStringView(reinterpret_cast<const char16_t*>(body.data()), body.size() / 2);
        } else {
            QStringDecoder decode(le ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                                  QStringDecoder::Flag::Stateless);
            decoded = decode(body);
            text = decoded;
        }
    } else {
        decoded = QString::fromUtf8(bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes);
        text = decoded;
    }

    Parser parser(withJobFields);
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype end = i;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        parser.Line(text.sliced(i, end - i));
        i = end + 1;
        if (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n')
            ++i;
    }

    ListFileRead result;
    const bool counted = parser.Finish(target, rowAdded, &result.added);
    // Every file this program writes ends with a line break after its count line; a file that
    // does not was cut off, and a power cut can leave its tail as NULs.
    const bool ended = !text.isEmpty() && (text.back() == u'\n' || text.back() == u'\r');
    const bool whole = counted && ended && !oddByte && !text.contains(QChar(0));
    result.state = whole ? ListFileRead::State::Whole : ListFileRead::State::Damaged;
    return result;
}

ListFileRead ReadListFile(const QString& path, bool withJobFields, clsSongArray& target,
                          const RowAddedFn& rowAdded) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return {ListFileRead::State::Missing};
    QFile f(path);
    if (!info.isFile() || !f.open(QIODevice::ReadOnly))
        return {ListFileRead::State::Unreadable};
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return {ListFileRead::State::Unreadable};
    return ParseListFile(bytes, withJobFields, target, rowAdded);
}

}  // namespace wavelot
