// The program on the desktop's buses, with a private dbus-daemon standing in for both the session
// and the system bus, the window on Xvfb with a real tray, and stations on a real Icecast server.
// A D-Bus client of the test's own reads and drives the media-control interfaces; a notification
// server and a logind of the test's own receive what the program sends them.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QtDBus>

#include "engine/player.h"
#include "tests/support/child_process.h"
#include "tests/support/desktop_rig.h"
#include "tests/support/http_server.h"
#include "tests/support/icecast_rig.h"
#include "tests/ui/main_window_fixture.h"
#include "ui/desktop_bus.h"
#include "ui/mpris_service.h"
#include "ui/sleep_inhibitor.h"
#include "ui/song_notifier.h"

namespace wavelot::test {

class NotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList notes;   // replaced id, summary and body of each
    QStringList images;  // the image-path hint of each that has one
public Q_SLOTS:
    QStringList GetCapabilities() { return {u"body"_s, u"body-markup"_s}; }
    uint Notify(const QString&, uint replaces, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int) {
        notes << u"%1|%2|%3"_s.arg(replaces).arg(summary, body);
        if (hints.contains(u"image-path"_s))
            images << hints.value(u"image-path"_s).toString();
        return 100 + static_cast<uint>(notes.size());
    }
};

// Hands out the write end of a pipe as the lock, as logind a FIFO's.
class LogindStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    ~LogindStandIn() override { ::close(fds[0]); }
    QStringList calls;  // what, who and mode of each
    int fds[2] = {-1, -1};
public Q_SLOTS:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString&,
                                    const QString& mode) {
        calls << what + u'|' + who + u'|' + mode;
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        const QDBusUnixFileDescriptor lock(fds[1]);  // a copy of its own
        ::close(fds[1]);
        return lock;
    }
};

// "Property=value" for each property changed (values as text; a map gives none).
class ChangeRecorder : public QObject {
    Q_OBJECT
public:
    QStringList changes;
public Q_SLOTS:
    void Changed(const QString&, const QVariantMap& changed, const QStringList&) {
        for (auto it = changed.begin(); it != changed.end(); ++it)
            changes << it.key() + u'=' + it.value().toString();
    }
};

namespace {

const QString kPath = QString::fromUtf16(MprisService::kObjectPath);
const QString kService = QString::fromUtf16(MprisService::kServiceName);
const QString kRoot = QString::fromUtf16(MprisService::kRootInterface);
const QString kPlayer = QString::fromUtf16(MprisService::kPlayerInterface);
const QString kProperties = u"org.freedesktop.DBus.Properties"_s;

// A private bus: dbus-daemon prints its address once it listens.
std::string StartBus(ChildProcess& daemon) {
    std::string address;
    char c = 0;
    pollfd p{-1, POLLIN, 0};
    if (daemon.Start({"dbus-daemon", "--session", "--print-address", "--nofork"}, true))
        for (p.fd = daemon.StdoutFd(); ::poll(&p, 1, 10000) == 1 && ::read(p.fd, &c, 1) == 1 && c != '\n';)
            address += c;
    return address;
}

class DesktopBusTest : public MainWindowTest {
protected:
    // The program's connection and the test's own, to one private bus for the whole suite.
    static void SetUpTestSuite() {
        qputenv("XDG_CACHE_HOME", cache_.path().toUtf8());  // the station logos'
        const QString bus = QString::fromStdString(StartBus(dbus_));
        const auto mount = [](const char* path, const char* name) {
            return ice_.StartSource({.mount = path, .name = name});
        };
        ready_ = desktop_.Start() && (UiApp(), true) && ice_.Start() && mount("/a.mp3", "A & B FM") &&
                 mount("/b.mp3", "Second FM") &&
                 QDBusConnection::connectToBus(bus, u"program"_s).isConnected() &&
                 QDBusConnection::connectToBus(bus, u"client"_s).isConnected();
    }
    void SetUp() override {
        ASSERT_TRUE(ready_) << desktop_.Error() << ice_.Error();
        MainWindowTest::SetUp();
        ASSERT_TRUE(WaitUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000))
            << "trayer offers no tray";
        ASSERT_TRUE(ice_.SetTitle("/a.mp3", "Singer - Song 1") && ice_.SetTitle("/b.mp3", "Other"));
        Lists().favoriteList.AddItem({.file = Url("/a.mp3"), .title = u"A"_s});
        Lists().favoriteList.AddItem({.file = Url("/b.mp3"), .title = u"B"_s});
    }
    void TearDown() override {
        desk_.reset();
        MainWindowTest::TearDown();
    }

    static QString Url(const std::string& mount) { return QString::fromStdString(ice_.Url(mount)); }
    static QDBusConnection Client() { return QDBusConnection(u"client"_s); }
    // The window and the program's bus parts; its one bus serves as both of its buses.
    frmMain& Start() {
        frmMain& w = Open();
        desk_ = std::make_unique<DesktopBus>(*core_, w, QDBusConnection(u"program"_s),
                                             QDBusConnection(u"program"_s));
        return w;
    }
    // A stand-in of the test's own under its well-known name; it leaves the bus when it goes.
    static bool Serve(QObject* standIn, const char16_t* service, const char16_t* path) {
        const auto all = QDBusConnection::ExportAllSlots;
        return Client().registerObject(QString::fromUtf16(path), standIn, all) &&
               Client().registerService(QString::fromUtf16(service));
    }
    // Asynchronous, so that the program, in this same thread, can answer.
    QDBusMessage Call(const QString& interface, const QString& method, const QVariantList& args = {}) {
        QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, interface, method);
        m.setArguments(args);
        const QDBusPendingCall call = Client().asyncCall(m);
        EXPECT_TRUE(WaitUntil([&] { return call.isFinished(); }, 5000) && !call.isError())
            << method.toStdString();
        return call.reply();
    }
    QVariant Get(const QString& property) {
        const QVariantList out = Call(kProperties, u"Get"_s, {kPlayer, property}).arguments();
        return out.isEmpty() ? QVariant() : out.at(0).value<QDBusVariant>().variant();
    }
    QVariantMap Metadata() { return qdbus_cast<QVariantMap>(Get(u"Metadata"_s).value<QDBusArgument>()); }
    bool StatusIs(const QString& status) {
        return WaitUntil([&] { return Get(u"PlaybackStatus"_s).toString() == status; }, 15000);
    }
    bool TitleIs(const QString& title) {
        return WaitUntil([&] { return player().SongTitle() == title; }, 15000);
    }
    bool Retitle(const char* mount, const char* title) {
        return ice_.SetTitle(mount, title) && TitleIs(QString::fromUtf8(title));
    }

    static inline QTemporaryDir cache_;
    static inline DesktopRig desktop_;
    static inline ChildProcess dbus_;
    static inline IcecastRig ice_;
    static inline bool ready_ = false;
    std::unique_ptr<DesktopBus> desk_;
};

TEST_F(DesktopBusTest, MprisShowsStatusSongAndVolumeAndSignalsEachChange) {
    frmMain& w = Start();
    ASSERT_TRUE(desk_->Mpris().Registered());
    ChangeRecorder seen;
    ASSERT_TRUE(Client().connect(kService, kPath, kProperties, u"PropertiesChanged"_s, &seen,
                                 SLOT(Changed(QString, QVariantMap, QStringList))));
    const auto signalled = [&](const QString& change) {
        return WaitUntil([&] { return seen.changes.contains(change); }, 15000);
    };
    EXPECT_EQ(Get(u"PlaybackStatus"_s).toString(), u"Stopped"_s);

    w.PlayRadio(Url("/a.mp3"), u"A"_s, 0);
    ASSERT_TRUE(TitleIs(u"Singer - Song 1"_s) && signalled(u"PlaybackStatus=Playing"_s));
    EXPECT_EQ(Get(u"PlaybackStatus"_s).toString(), u"Playing"_s);
    QVariantMap m = Metadata();
    const QString firstId = m.take(u"mpris:trackid"_s).value<QDBusObjectPath>().path();
    EXPECT_EQ(m, (QVariantMap{{u"xesam:title"_s, u"Song 1"_s},
                              {u"xesam:artist"_s, QStringList{u"Singer"_s}},
                              {u"xesam:album"_s, u"A & B FM"_s},
                              {u"xesam:url"_s, Url("/a.mp3")}}));

    ASSERT_TRUE(Retitle("/a.mp3", "Untitled song"));
    EXPECT_TRUE(signalled(u"Metadata="_s));
    m = Metadata();
    EXPECT_NE(m.take(u"mpris:trackid"_s).value<QDBusObjectPath>().path(), firstId);
    EXPECT_EQ(m.value(u"xesam:title"_s), u"Untitled song"_s);
    EXPECT_FALSE(m.contains(u"xesam:artist"_s)) << "no \" - \": no artist";

    // Set on the bus: applied and stored as the slider does; set in the program: seen on the bus.
    Call(kProperties, u"Set"_s, {kPlayer, u"Volume"_s, QVariant::fromValue(QDBusVariant(0.25))});
    EXPECT_EQ(w.Volume(), 25);
    EXPECT_EQ(w.PicTrackBar()->Volume(), 25);
    EXPECT_EQ(Read(settings::kSavedVolume), u"25"_s);
    OnNextMenu(u"設定音量/60 %"_s);
    Q_EMIT w.Tray().activated(QSystemTrayIcon::Context);  // the tray menu's volume entry
    EXPECT_TRUE(signalled(u"Volume=0.6"_s));
}

TEST_F(DesktopBusTest, MprisCommandsPlayStopStepThroughTheFavouritesRaiseAndQuit) {
    frmMain& w = Start();
    const auto playing = [&](const std::string& mount) {
        return StatusIs(u"Playing"_s) &&
               WaitUntil([&] { return player().StationUrl() == Url(mount); }, 15000);
    };
    Call(kPlayer, u"Next"_s);  // nothing played yet: the first favourite
    EXPECT_TRUE(playing("/a.mp3"));
    Call(kPlayer, u"PlayPause"_s);  // held behind live
    EXPECT_TRUE(StatusIs(u"Paused"_s));
    EXPECT_TRUE(player().IsPaused());
    Call(kPlayer, u"PlayPause"_s);
    EXPECT_TRUE(playing("/a.mp3"));
    EXPECT_TRUE(player().IsBehindLive());
    Call(kPlayer, u"Stop"_s);
    EXPECT_TRUE(StatusIs(u"Stopped"_s));
    Call(kPlayer, u"PlayPause"_s);  // the play command: the station started last
    EXPECT_TRUE(playing("/a.mp3"));
    Call(kPlayer, u"Next"_s);
    EXPECT_TRUE(playing("/b.mp3"));
    Call(kPlayer, u"Stop"_s);
    EXPECT_TRUE(StatusIs(u"Stopped"_s));

    w.close();
    ASSERT_TRUE(WaitUntil([&] { return !w.isVisible(); }, 3000));
    Call(kRoot, u"Raise"_s);
    EXPECT_TRUE(WaitUntil([&] { return w.isVisible(); }, 3000));
    EXPECT_FALSE(w.Tray().isVisible()) << "as the tray's show command";
    Call(kRoot, u"Quit"_s);
    EXPECT_TRUE(WaitUntil([&] { return w.ShutDown(); }, 5000));
}

TEST_F(DesktopBusTest, OneNotificationPerSongWhileHiddenInTheTrayAndNoneWhileShown) {
    NotificationServer server;
    ASSERT_TRUE(Serve(&server, SongNotifier::kService, SongNotifier::kPath));
    frmMain& w = Start();
    w.PlayRadio(Url("/a.mp3"), u"A"_s, 0);
    ASSERT_TRUE(TitleIs(u"Singer - Song 1"_s));

    w.close();
    ASSERT_TRUE(Retitle("/a.mp3", "Song 2") && Retitle("/a.mp3", "Song 3"));
    ASSERT_TRUE(WaitUntil([&] { return server.notes.size() == 2; }, 5000));
    // The server reads markup: the body is escaped; each one replaces the last.
    EXPECT_EQ(server.notes, (QStringList{u"0|Song 2|A &amp; B FM"_s, u"101|Song 3|A &amp; B FM"_s}));

    w.ShowMainWindow();
    ASSERT_TRUE(Retitle("/a.mp3", "Song 4"));
    w.close();
    core_->Options().songNotify = false;  // as the options dialog applies it for the run
    ASSERT_TRUE(Retitle("/a.mp3", "Song 5"));
    Pump(500);
    EXPECT_EQ(server.notes.size(), 2) << "none while shown, none when switched off";
}

TEST_F(DesktopBusTest, AFavouritesLogoReachesTheMediaControlsAndTheNotifications) {
    HttpServer site;
    site.Handle("/logo.png", [](const HttpRequest&) {
        QImage image(300, 300, QImage::Format_RGB32);
        image.fill(Qt::blue);
        QByteArray png;
        QBuffer out(&png);
        out.open(QIODevice::WriteOnly);
        image.save(&out, "PNG");
        return HttpResponse::Ok(png.toStdString(), "image/png");
    });
    Lists().favoriteList.SetLogo(0, site.UrlText("/logo.png"));
    NotificationServer server;
    ASSERT_TRUE(Serve(&server, SongNotifier::kService, SongNotifier::kPath));
    frmMain& w = Start();
    w.PlayRadio(Url("/a.mp3"), u"A"_s, 0);
    ASSERT_TRUE(WaitUntil([&] { return Metadata().contains(u"mpris:artUrl"_s); }, 15000));
    const QUrl art(Metadata().value(u"mpris:artUrl"_s).toString());
    EXPECT_EQ(QImage(art.toLocalFile()).size(), QSize(256, 256));

    w.close();
    ASSERT_TRUE(Retitle("/a.mp3", "Song 2"));
    ASSERT_TRUE(WaitUntil([&] { return !server.images.isEmpty(); }, 5000));
    EXPECT_EQ(server.images.last(), art.toString());
}

TEST_F(DesktopBusTest, SleepIsInhibitedExactlyWhileARecordingIsWritten) {
    LogindStandIn logind;
    ASSERT_TRUE(Serve(&logind, SleepInhibitor::kService, SleepInhibitor::kPath));
    frmMain& w = Start();
    w.PlayRadio(Url("/b.mp3"), u"B"_s, 0);
    ASSERT_TRUE(TitleIs(u"Other"_s));
    Pump(300);
    EXPECT_TRUE(logind.calls.isEmpty()) << "playing is no reason to stay awake";

    w.RunCommand(frmMain::kCmdRecord);
    ASSERT_TRUE(WaitUntil([&] { return desk_->Inhibitor().Held(); }, 5000));
    EXPECT_EQ(logind.calls, QStringList{u"sleep|Wavelot|block"_s});
    ASSERT_TRUE(Retitle("/b.mp3", "Next song"));  // the next file begins before the last ends
    // The lock is held while any copy of its descriptor is open, which the pipe's read end sees.
    const auto released = [&] {
        pollfd p{logind.fds[0], POLLIN, 0};
        return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
    };
    Pump(1000);
    EXPECT_EQ(logind.calls.size(), 1) << "held across files";
    EXPECT_FALSE(released());
    w.RunCommand(frmMain::kCmdRecord);
    EXPECT_TRUE(WaitUntil(released, 5000)) << "the lock's descriptor is closed";
}

}  // namespace
}  // namespace wavelot::test

#include "desktop_bus_test.moc"
