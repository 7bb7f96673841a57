// The installed program: `cmake --install` into a prefix of the test's own, the menu entry and
// the AppStream file passing their validators, the icon in the hicolor theme, and the program
// started from the prefix, without any bus, keeping its files in the per-user folder although
// its bin folder could be written.
#include <gtest/gtest.h>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <thread>

#include "core/ini_file.h"
#include "core/settings_keys.h"
#include "tests/support/child_process.h"

namespace wavelot::test {
namespace {

using namespace Qt::Literals::StringLiterals;

// Exit code and everything printed, of a program run to its end.
std::pair<int, std::string> RunToEnd(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool ended = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit;
    return {ended ? p.exitCode() : -1, p.readAll().toStdString()};
}

TEST(Install, IntoAPrefixValidatedAndStartedKeepingItsFilesPerUser) {
    QTemporaryDir tmp;
    const QString prefix = tmp.filePath(u"prefix"_s), share = prefix + u"/share/"_s;
    const QString build = qEnvironmentVariable("WAVELOT_BUILD_DIR");
    ASSERT_EQ(RunToEnd(u"cmake"_s, {u"--install"_s, build, u"--prefix"_s, prefix}).first, 0);
    EXPECT_TRUE(QFileInfo::exists(share + u"icons/hicolor/scalable/apps/wavelot.svg"_s));
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        EXPECT_EQ(QImage(share + u"icons/hicolor/%1x%1/apps/wavelot.png"_s.arg(size)).size(),
                  QSize(size, size));
    // Not even a hint from the first.
    EXPECT_EQ(RunToEnd(u"desktop-file-validate"_s, {share + u"applications/wavelot.desktop"_s}),
              std::pair(0, std::string()));
    const QString metainfo = share + u"metainfo/io.github.wavelot.wavelot.metainfo.xml"_s;
    EXPECT_EQ(RunToEnd(u"appstreamcli"_s, {u"validate"_s, u"--no-net"_s, metainfo}).first, 0);

    // The bin folder is the test's, so writable: the program must still keep nothing there.
    const QString data = tmp.filePath(u"data"_s), mine = data + u"/Wavelot/Setting/"_s;
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
    EXPECT_TRUE(QFileInfo(data + u"/Wavelot/Recode"_s).isDir());
    EXPECT_EQ(QDir(prefix + u"/bin"_s)
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                  .join(u' ')
                  .toStdString(),
              "wavelot wavelot-cli");
}

}  // namespace
}  // namespace wavelot::test
