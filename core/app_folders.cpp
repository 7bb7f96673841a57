#include "core/app_folders.h"

#include "core/path_utils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace wavelot {

using namespace Qt::Literals::StringLiterals;

namespace {

struct Folders {
    QString program;
    QString setting;
    QString record;
};

Folders& State() {
    static Folders folders;
    return folders;
}

// Permission bits are not enough (root passes them all, read-only mounts do not show in them):
// try to create a file.
bool CanWriteIn(const QString& folder) {
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(folder + u".wavelot-probe-XXXXXX"_s);
    return probe.open();
}

// Installed, the program is shared by the machine's users and replaced by updates, so it keeps
// nothing beside itself even where it could (a prefix in the user's home, root running it).
bool InstalledLayout(const QString& program) {
    return QDir(program).dirName() == u"bin"_s &&
           QFileInfo::exists(program + u"../share/applications/"_s + QString::fromUtf16(kDesktopEntryName) +
                             u".desktop"_s);
}

}  // namespace

QString ProgramTitle() {
    return u"Wavelot"_s;
}

bool InitAppFolders(const QString& programFolder) {
    QString program = programFolder;
    if (program.isEmpty() && QCoreApplication::instance())
        program = QCoreApplication::applicationDirPath();
    if (program.isEmpty())
        program = QDir::currentPath();
    program = WithBackslash(QDir::cleanPath(QDir(program).absolutePath()));

    Folders& f = State();
    f.program = program;

    // Beside the program when its settings folder (or, before the first run, the program
    // folder itself) is writable and it is not installed; otherwise in the per-user data folder.
    const QString besideSetting = program + u"Setting/"_s;
    const bool beside = !InstalledLayout(program) &&
                        (QFileInfo(besideSetting).isDir() ? CanWriteIn(besideSetting) : CanWriteIn(program));
    QString base = program;
    if (!beside) {
        QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (data.isEmpty())
            data = QDir::homePath() + u"/.local/share"_s;
        base = WithBackslash(data) + ProgramTitle() + u'/';
    }
    f.setting = base + u"Setting/"_s;
    f.record = base + u"Recode/"_s;
    return CreateFolder(f.setting);
}

QString ProgramFolder() {
    return State().program;
}
QString SettingFolder() {
    return State().setting;
}
QString RecordFolder() {
    return State().record;
}
QString SettingFile() {
    return State().setting + QString::fromUtf16(kSettingFileName);
}

QString CacheFolder() {
    QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty())
        cache = QDir::homePath() + u"/.cache"_s;
    return WithBackslash(cache) + ProgramTitle() + u'/';
}

}  // namespace wavelot
