#include "core/list_files.h"

#include "core/ini_file.h"
#include "core/path_utils.h"
#include "core/song_array.h"
#include "core/text_file.h"

#include <QFile>
#include <QFileInfo>
#include <QTime>

#include <algorithm>

namespace wavelot {

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kPlayListSection = u"PlayList"_s;
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
bool WriteIniRows(const QString& path, int count, const RowAt& rowAt, bool withJobFields) {
    TextFileWriter w;
    if (!w.CreateTextFile(path))
        return false;
    w.WriteTextLine(u"[PlayList]"_s);
    for (int i = 0; i < count; ++i) {
        const StationRow& r = rowAt(i);
        const QString n = QString::number(i + 1);
        w.WriteTextLine(u"File"_s + n + u'=' + OneLine(r.file));
        w.WriteTextLine(u"Title"_s + n + u'=' + OneLine(r.title));
        w.WriteTextLine(u"Code"_s + n + u'=' + QString::number(r.code));
        w.WriteTextLine(u"Comment"_s + n + u'=' + OneLine(r.comment));
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
    IniDocument doc;
    if (!doc.Load(path))
        return 0;
    auto text = [&](const QString& key, int i) {
        QString v = doc.Value(kPlayListSection, key + QString::number(i)).value_or(QString());
        v.remove(QChar(0));
        return v;
    };
    auto number = [&](const QString& key, int i) { return StrictInt(text(key, i)); };

    // Every entry needs its own File line, so a count beyond the section's lines is a broken
    // (or hostile) count, not a reason to loop for billions of entries.
    const int n = std::min(LenientInt(doc.Value(kPlayListSection, kNumberOfEntries).value_or(QString())),
                           doc.KeyCount(kPlayListSection));
    int added = 0;
    for (int i = 1; i <= n; ++i) {
        const QString file = text(u"File"_s, i);
        if (!IsStationAddress(file))
            continue;
        const QString title = text(u"Title"_s, i);
        const int code = number(u"Code"_s, i);
        const QString comment = text(u"Comment"_s, i);
        if (withJobFields) {
            target.AddItem({.file = file,
                            .title = title,
                            .code = code,
                            .comment = comment,
                            .jobMode = number(u"JobMode"_s, i),
                            .jobType = number(u"JobType"_s, i),
                            .jobStart = text(u"StrTime"_s, i),
                            .jobStop = text(u"StopTime"_s, i),
                            .runJob = number(u"RunJob"_s, i),
                            .weekMark = number(u"WeekMark"_s, i)});
        } else {
            target.AddItem({.file = file, .title = title, .code = code, .comment = comment});
        }
        ++added;
        Notify(rowAdded);
    }
    return added;
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

int ReadM3u(const QString& path, int currentTab, const ImportTargets& targets, const RowAddedFn& rowAdded) {
    clsSongArray* target = currentTab == kTabFavorites ? targets.favorites
                           : currentTab == kTabJobs    ? targets.jobs
                                                       : nullptr;
    TextFileReader reader;
    if (!reader.OpenTextFile(path))
        return 0;
    QString pendingTitle;
    QString raw;
    int added = 0;
    while (reader.ReadTextLine(raw)) {
        const QString line = raw.trimmed();
        if (line.left(8).toUpper() == u"#EXTINF:"_s)
            pendingTitle = line.mid(8);
        const qsizetype comma = pendingTitle.indexOf(u',');
        QString name = comma < 0 ? pendingTitle : pendingTitle.mid(comma + 1);
        if (!IsStationAddress(line) || !target)
            continue;
        if (name.isEmpty())
            name = line;
        if (currentTab == kTabJobs) {
            const QString now = QTime::currentTime().toString(u"hh:mm:ss"_s);
            target->AddItem({.file = line, .title = name, .jobStart = now, .jobStop = now});
        } else {
            target->AddItem({.file = line, .title = name});
        }
        ++added;
        Notify(rowAdded);
    }
    return added;
}

bool WriteM3u(const QString& path, const clsSongArray& list) {
    TextFileWriter w;
    if (!w.CreateTextFile(path))
        return false;
    w.WriteTextLine(u"#EXTM3U"_s);
    for (int i = 0; i < list.ListCount(); ++i) {
        w.WriteTextLine(u"#EXTINF:0, "_s + OneLine(list.Title(i)));
        w.WriteTextLine(OneLine(list.File(i)));
    }
    return w.CloseTextFile();
}

int ImportListFile(const QString& path, int currentTab, const ImportTargets& targets,
                   const RowAddedFn& rowAdded) {
    const QString ext = FileExtension(path).toLower();
    if (ext == u"m3u"_s)
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
    const bool m3u = ext == u"m3u"_s;
    clsSongArray* target = currentTab == kTabFavorites ? targets.favorites
                           : currentTab == kTabJobs    ? targets.jobs
                                                       : nullptr;
    if (target == nullptr || (!m3u && ext != u"pls"_s && ext != u"ini"_s))
        return {};
    const ListImport::Status check = CheckListFile(path, m3u ? kTextFileSizeLimit : kListFileSizeLimit);
    if (check != ListImport::Status::Imported)
        return {check};
    clsSongArray read;
    const int count = ImportListFile(path, currentTab, {&read, &read});
    if (count == 0)
        return {ListImport::Status::NoStations};
    for (int i = 0; i < read.ListCount(); ++i) {
        target->AddItem(read.Row(i));
        Notify(rowAdded);
    }
    return {ListImport::Status::Imported, count};
}

bool ExportListFile(const QString& path, const clsSongArray& list, bool withJobFields) {
    const QString ext = FileExtension(path).toLower();
    if (ext == u"m3u"_s)
        return WriteM3u(path, list);
    if (ext == u"pls"_s || ext == u"ini"_s)
        return WriteListIni(path, list, withJobFields);
    return false;
}

}  // namespace wavelot
