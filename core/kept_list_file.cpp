#include "core/kept_list_file.h"

#include "core/list_files.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace wavelot {

using namespace Qt::Literals::StringLiterals;

namespace {

template <typename RowAt>
QByteArray Fingerprint(int count, const RowAt& rowAt, bool withJobFields) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const auto number = [&](qint64 n) {
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(&n), sizeof n));
    };
    // Each text with its length first, so no two different rows run together the same way.
    const auto text = [&](const QString& s) {
        number(s.size());
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(s.utf16()), s.size() * 2));
    };
    number(count);
    for (int i = 0; i < count; ++i) {
        const StationRow& r = rowAt(i);
        text(r.file);
        text(r.title);
        number(r.code);
        text(r.comment);
        text(r.logo);
        if (!withJobFields)
            continue;
        number(r.jobMode);
        number(r.jobType);
        text(r.jobStart);
        text(r.jobStop);
        number(r.runJob);
        number(r.weekMark);
    }
    return hash.result();
}

}  // namespace

QByteArray ListFingerprint(const clsSongArray& list, bool withJobFields) {
    StationRow row;
    return Fingerprint(
        list.ListCount(),
        [&](int i) -> const StationRow& {
            row = list.Row(i);
            return row;
        },
        withJobFields);
}

QByteArray ListFingerprint(const std::vector<StationRow>& rows, bool withJobFields) {
    return Fingerprint(
        static_cast<int>(rows.size()),
        [&](int i) -> const StationRow& { return rows[static_cast<size_t>(i)]; }, withJobFields);
}

KeptListWrite WriteKeptList(const QString& path, const std::vector<StationRow>& rows, bool withJobFields,
                            const QByteArray& onDisk) {
    KeptListWrite out;
    out.fingerprint = ListFingerprint(rows, withJobFields);
    if (out.fingerprint == onDisk) {
        out.ok = true;
        return out;
    }
    out.ok = out.written = WriteListIni(path, rows, withJobFields);
    return out;
}

ListFileRead KeptListFile::Load(clsSongArray& list) {
    const ListFileRead read = ReadListFile(path_, jobFields_, list);
    state_ = read.state;
    backup_.clear();
    onDisk_ = state_ == ListFileRead::State::Whole ? ListFingerprint(list, jobFields_) : QByteArray();
    if (state_ == ListFileRead::State::Damaged)
        MakeBackup();
    return read;
}

bool KeptListFile::MakeBackup() {
    if (!backup_.isEmpty())
        return true;
    const QFileInfo info(path_);
    const QDateTime now = QDateTime::currentDateTime();
    const QString prefix = info.fileName() + u".bak-"_s;
    const QString today = prefix + now.toString(u"yyMMdd"_s) + u"_*"_s;
    const QStringList made = info.dir().entryList({today}, QDir::Files, QDir::Name);
    if (!made.isEmpty()) {
        backup_ = info.dir().filePath(made.front());
        return true;
    }
    const QString copy = info.dir().filePath(prefix + now.toString(u"yyMMdd_hhmmss"_s));
    if (!QFile::copy(path_, copy)) {
        QFile::remove(copy);  // a part of a copy stands for nothing
        return false;
    }
    backup_ = copy;
    return true;
}

bool KeptListFile::MayWrite() {
    switch (state_) {
    case ListFileRead::State::Unreadable: return false;
    case ListFileRead::State::Damaged: return MakeBackup();
    default: return !path_.isEmpty();
    }
}

void KeptListFile::Written(const QByteArray& fingerprint) {
    state_ = ListFileRead::State::Whole;
    onDisk_ = fingerprint;
}

bool KeptListFile::Save(const clsSongArray& list) {
    if (!MayWrite())
        return false;
    const QByteArray print = ListFingerprint(list, jobFields_);
    if (print == onDisk_)
        return true;
    if (!WriteListIni(path_, list, jobFields_))
        return false;
    Written(print);
    return true;
}

}  // namespace wavelot
