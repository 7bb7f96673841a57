#include "core/list_files.h"

#include "core/ini_file.h"
#include "core/list_ini_reader.h"
#include "core/path_utils.h"
#include "core/song_array.h"
#include "core/text_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTime>

#include <algorithm>

namespace wavelot {

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kNumberOfEntries = u"NumberOfEntries"_s;

bool IsStationAddress(const QString& text) {
    return text.startsWith(u"HTTP"_s, Qt::CaseInsensitive) || text.startsWith(u"MMS"_s, Qt::CaseInsensitive);
}

// Written values must not break the line structure of the file.
QString OneLine(const QString& v) {
    QString out = v;
    for (QChar& c : out)
        if (c == u'\r' || c == u'\n')
            c = u' ';
    return out;
}

void Notify(const RowAddedFn& rowAdded) {
    if (rowAdded)
        rowAdded();
}

// Whether the file can be read as a list at all, before it is read.
ListImport::Status CheckListFile(const QString& path, qint64 limit) {
    const QFileInfo info(path);
    QFile f(path);
    if (!info.isFile() || !f.open(QIODevice::ReadOnly))
        return ListImport::Status::Unreadable;
    if (f.size() >= limit)
        return ListImport::Status::TooLarge;
    return ListImport::Status::Imported;
}

template <typename RowAt>
bool WriteIniRows(const QString& path, int count, const RowAt& rowAt, bool withJobFields,
                  TextFileKind kind = TextFileKind::Own) {
    TextFileWriter w;
    if (!w.CreateTextFile(path, kind))
        return false;
    w.WriteTextLine(u"[PlayList]"_s);
    for (int i = 0; i < count; ++i) {
        const StationRow& r = rowAt(i);
        const QString n = QString::number(i + 1);
        w.WriteTextLine(u"File"_s + n + u'=' + OneLine(r.file));
        w.WriteTextLine(u"Title"_s + n + u'=' + OneLine(r.title));
        w.WriteTextLine(u"Code"_s + n + u'=' + QString::number(r.code));
        w.WriteTextLine(u"Comment"_s + n + u'=' + OneLine(r.comment));
        if (!r.logo.isEmpty())
            w.WriteTextLine(u"Logo"_s + n + u'=' + OneLine(r.logo));
        if (withJobFields) {
            w.WriteTextLine(u"JobMode"_s + n + u'=' + QString::number(r.jobMode));
            w.WriteTextLine(u"JobType"_s + n + u'=' + QString::number(r.jobType));
            w.WriteTextLine(u"StrTime"_s + n + u'=' + OneLine(r.jobStart));
            w.WriteTextLine(u"StopTime"_s + n + u'=' + OneLine(r.jobStop));
            w.WriteTextLine(u"RunJob"_s + n + u'=' + QString::number(r.runJob));
            w.WriteTextLine(u"WeekMark"_s + n + u'=' + QString::number(r.weekMark));
        }
        w.WriteTextLine(QString());
    }
    w.WriteTextLine(kNumberOfEntries + u'=' + QString::number(count));
    return w.CloseTextFile();
}

}  // namespace

int ReadListIni(const QString& path, bool withJobFields, clsSongArray& target, const RowAddedFn& rowAdded) {
    return ReadListFile(path, withJobFields, target, rowAdded).added;
}

bool WriteListIni(const QString& path, const clsSongArray& list, bool withJobFields) {
    StationRow row;
    return WriteIniRows(
        path, list.ListCount(),
        [&](int i) -> const StationRow& {
            row = list.Row(i);
            return row;
        },
        withJobFields);
}

bool WriteListIni(const QString& path, const std::vector<StationRow>& rows, bool withJobFields) {
    return WriteIniRows(
        path, static_cast<int>(rows.size()),
        [&](int i) -> const StationRow& { return rows[static_cast<size_t>(i)]; }, withJobFields);
}

namespace {

const QString kExtInf = u"#EXTINF:"_s;
// An entry's description: a comment line, which other players skip.
const QString kExtDesc = u"#EXTDESC:"_s;

clsSongArray* TargetList(int currentTab, const ImportTargets& targets) {
    return currentTab == kTabFavorites ? targets.favorites : currentTab == kTabJobs ? targets.jobs : nullptr;
}

bool IsM3uExtension(const QString& ext) {
    return ext == u"m3u"_s || ext == u"m3u8"_s;
}

// What makes two jobs the same job besides their address.
QString ScheduleKey(const StationRow& r) {
    return r.file + u'\n' + QString::number(r.jobMode) + u'\n' + QString::number(r.jobType) + u'\n' +
           r.jobStart + u'\n' + r.jobStop + u'\n' + QString::number(r.weekMark);
}

}  // namespace

int ReadM3u(const QString& path, int currentTab, const ImportTargets& targets, const RowAddedFn& rowAdded) {
    clsSongArray* target = TargetList(currentTab, targets);
    TextFileReader reader(TextFileKind::Exchange);
    if (!reader.OpenTextFile(path))
        return 0;
    QString name;     // of the most recent #EXTINF line
    QString comment;  // for the next address only
    QString raw;
    int added = 0;
    while (reader.ReadTextLine(raw)) {
        const QString line = raw.trimmed();
        if (line.startsWith(kExtInf, Qt::CaseInsensitive)) {
            const QString info = line.mid(kExtInf.size());
            const qsizetype comma = info.indexOf(u',');
            name = (comma < 0 ? info : info.mid(comma + 1)).trimmed();
            continue;
        }
        if (line.startsWith(kExtDesc, Qt::CaseInsensitive)) {
            comment = line.mid(kExtDesc.size()).trimmed();
            continue;
        }
        if (!IsStationAddress(line) || !target)
            continue;
        StationRow row{.file = line, .title = name.isEmpty() ? line : name, .comment = comment};
        comment.clear();
        if (currentTab == kTabJobs)
            row.jobStart = row.jobStop = QTime::currentTime().toString(u"hh:mm:ss"_s);
        target->AddItem(row);
        ++added;
        Notify(rowAdded);
    }
    return added;
}

bool WriteM3u(const QString& path, const clsSongArray& list) {
    TextFileWriter w;
    if (!w.CreateTextFile(path, TextFileKind::Exchange))
        return false;
    w.WriteTextLine(u"#EXTM3U"_s);
    for (int i = 0; i < list.ListCount(); ++i) {
        w.WriteTextLine(kExtInf + u"-1,"_s + OneLine(list.Title(i)));
        if (const QString comment = OneLine(list.Comment(i)); !comment.trimmed().isEmpty())
            w.WriteTextLine(kExtDesc + comment);
        w.WriteTextLine(OneLine(list.File(i)));
    }
    return w.CloseTextFile();
}

int ImportListFile(const QString& path, int currentTab, const ImportTargets& targets,
                   const RowAddedFn& rowAdded) {
    const QString ext = FileExtension(path).toLower();
    if (IsM3uExtension(ext))
        return ReadM3u(path, currentTab, targets, rowAdded);
    if (ext != u"pls"_s && ext != u"ini"_s)
        return 0;
    if (currentTab == kTabFavorites && targets.favorites)
        return ReadListIni(path, false, *targets.favorites, rowAdded);
    if (currentTab == kTabJobs && targets.jobs)
        return ReadListIni(path, true, *targets.jobs, rowAdded);
    return 0;
}

ListImport ImportList(const QString& path, int currentTab, const ImportTargets& targets,
                      const RowAddedFn& rowAdded) {
    const QString ext = FileExtension(path).toLower();
    const bool m3u = IsM3uExtension(ext);
    clsSongArray* target = TargetList(currentTab, targets);
    if (target == nullptr || (!m3u && ext != u"pls"_s && ext != u"ini"_s))
        return {};
    const ListImport::Status check = CheckListFile(path, m3u ? kTextFileSizeLimit : kListFileSizeLimit);
    if (check != ListImport::Status::Imported)
        return {check};
    clsSongArray read;
    const int count = ImportListFile(path, currentTab, {&read, &read});
    if (count == 0)
        return {ListImport::Status::NoStations};

    // A station already in the list, or earlier in the file, is not added again. A job read with
    // its schedule is the same only as a job with that address and schedule, so a station
    // recorded at two times stays two jobs; a station without one is the same as any entry with
    // its address.
    const bool schedules = currentTab == kTabJobs && !m3u;
    QSet<QString> addresses;
    QSet<QString> scheduled;
    const auto remember = [&](const StationRow& r) {
        addresses.insert(r.file);
        if (schedules)
            scheduled.insert(ScheduleKey(r));
    };
    for (int i = 0; i < target->ListCount(); ++i)
        remember(target->Row(i));
    ListImport result{ListImport::Status::Imported};
    for (int i = 0; i < read.ListCount(); ++i) {
        const StationRow row = read.Row(i);
        const bool known = schedules && !row.jobStart.isEmpty() ? scheduled.contains(ScheduleKey(row))
                                                                : addresses.contains(row.file);
        if (known) {
            ++result.already;
            continue;
        }
        remember(row);
        target->AddItem(row);
        ++result.added;
        Notify(rowAdded);
    }
    return result;
}

bool ExportListFile(const QString& path, const clsSongArray& list, bool withJobFields) {
    const QString ext = FileExtension(path).toLower();
    if (IsM3uExtension(ext))
        return WriteM3u(path, list);
    if (ext == u"pls"_s) {
        StationRow row;
        const auto rowAt = [&](int i) -> const StationRow& {
            row = list.Row(i);
            return row;
        };
        return WriteIniRows(path, list.ListCount(), rowAt, withJobFields, TextFileKind::Exchange);
    }
    if (ext == u"ini"_s)
        return WriteListIni(path, list, withJobFields);
    return false;
}

}  // namespace wavelot
