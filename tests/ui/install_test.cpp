// The installed program: `cmake --install` into a prefix of the test's own, the menu entry and
// the AppStream file passing their validators, the icon in the hicolor theme, and the program
// started from the prefix, without any bus, keeping its files in the per-user folder although
// its bin folder could be written.
#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <ostream>
#include <thread>

#include "core/ini_file.h"
#include "core/settings_keys.h"
#include "tests/support/child_process.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace wavelot::test {
namespace {

using namespace Qt::Literals::StringLiterals;

// Exit code and everything printed, of a program run to its end.
std::pair<int, QString> RunToEnd(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(120000))
        return {-1, u"did not finish"_s};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAll())};
}

TEST(Install, IntoAPrefixValidatedAndStartedKeepingItsFilesPerUser) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString prefix = tmp.filePath(u"prefix"_s);
    const QString share = prefix + u"/share/"_s;
    const auto [rc, out] = RunToEnd(
        u"cmake"_s, {u"--install"_s, qEnvironmentVariable("WAVELOT_BUILD_DIR"), u"--prefix"_s, prefix});
    ASSERT_EQ(rc, 0) << out.toStdString();

    for (const QString& exe : {u"wavelot"_s, u"wavelot-cli"_s})
        EXPECT_TRUE(QFileInfo(prefix + u"/bin/"_s + exe).isExecutable()) << exe.toStdString();
    EXPECT_TRUE(QFileInfo::exists(share + u"icons/hicolor/scalable/apps/wavelot.svg"_s));
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QImage png(share + u"icons/hicolor/%1x%1/apps/wavelot.png"_s.arg(size));
        EXPECT_EQ(png.size(), QSize(size, size)) << size;
    }
    const QString desktop = share + u"applications/wavelot.desktop"_s;
    const QString metainfo = share + u"metainfo/io.github.wavelot.wavelot.metainfo.xml"_s;
    const auto [desktopRc, desktopOut] = RunToEnd(u"desktop-file-validate"_s, {desktop});
    EXPECT_EQ(desktopRc, 0) << desktopOut.toStdString();
    EXPECT_EQ(desktopOut.trimmed(), QString()) << "not even a hint";
    const auto [metaRc, metaOut] = RunToEnd(u"appstreamcli"_s, {u"validate"_s, u"--no-net"_s, metainfo});
    EXPECT_EQ(metaRc, 0) << metaOut.toStdString();

    // The bin folder is the test's, so writable: the program must still keep nothing there.
    const QString data = tmp.filePath(u"data"_s);
    const QString mine = data + u"/Wavelot/Setting/"_s;
    ASSERT_TRUE(QDir().mkpath(mine));
    WriteIni(settings::kSectionSetting, settings::kSetRecode, 1, mine + u"Setting.ini"_s);
    const std::string noBus = "unix:path=" + tmp.filePath(u"no-bus"_s).toStdString();
    ChildProcess app;
    ASSERT_TRUE(app.Start({(prefix + u"/bin/wavelot"_s).toStdString()}, false,
                          {"QT_QPA_PLATFORM=offscreen", "XDG_DATA_HOME=" + data.toStdString(),
                           "DBUS_SESSION_BUS_ADDRESS=" + noBus, "DBUS_SYSTEM_BUS_ADDRESS=" + noBus}));
    std::this_thread::sleep_for(std::chrono::seconds(3));
    ASSERT_TRUE(app.Running()) << "the program ended by itself";
    EXPECT_EQ(app.Stop(10000), 0);

    EXPECT_TRUE(QFileInfo::exists(mine + u"Favorites.ini"_s)) << "the exit writes the lists per user";
    EXPECT_EQ(ReadIni(settings::kSectionSetting, settings::kSearchGenre, mine + u"Setting.ini"_s), u"0"_s);
    EXPECT_TRUE(QFileInfo(data + u"/Wavelot/Recode"_s).isDir());
    EXPECT_EQ(QDir(prefix + u"/bin"_s).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{u"wavelot"_s, u"wavelot-cli"_s}));
}

}  // namespace
}  // namespace wavelot::test
