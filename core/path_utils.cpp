#include "core/path_utils.h"

#include <QDir>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace wavelot {

using namespace Qt::Literals::StringLiterals;

QString TextBefore(const QString& text, const QString& separator) {
    const qsizetype at = text.indexOf(separator, 0, Qt::CaseSensitive);
    return at < 0 ? text : text.left(at);
}

QString WithBackslash(const QString& path) {
    return path.endsWith(u'/') ? path : path + u'/';
}

bool CreateFolder(const QString& path) {
    if (path.isEmpty())
        return false;
    const QString p = LongPathForm(WithBackslash(path));
    if (QFileInfo(p).isDir())
        return true;
    return QDir().mkpath(p);
}

bool PathExists(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString FileExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot < 0 ? path : path.mid(dot + 1);
}

QString CleanFileName(const QString& text) {
    static const QString kRemoved = u":/\\?*|<>@#$&+=\""_s;
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        if (!kRemoved.contains(c) && c != QChar(0))
            out += c;
    if (out == u"."_s || out == u".."_s)
        return QString();
    return out;
}

QString UserName() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0)
        size = 16384;
    std::vector<char> buffer(static_cast<size_t>(size));
    passwd pw{};
    passwd* result = nullptr;
    if (getpwuid_r(geteuid(), &pw, buffer.data(), buffer.size(), &result) == 0 && result && result->pw_name)
        return QString::fromLocal8Bit(result->pw_name);
    return qEnvironmentVariable("USER");
}

QString ShortPath(const QString& path) {
    return path;
}

QString LongPathForm(const QString& path, bool allowPrefix) {
    Q_UNUSED(allowPrefix);
    return path;
}

}  // namespace wavelot
