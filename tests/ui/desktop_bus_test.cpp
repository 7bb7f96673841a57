// The program on the desktop's buses, with a private dbus-daemon standing in for both the session
// and the system bus, the window on Xvfb with a real tray, and stations on a real Icecast server.
// A D-Bus client of the test's own reads and drives the media-control interfaces; a notification
// server and a logind of the test's own receive what the program sends them.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>

#include "engine/player.h"
#include "tests/support/dbus_rig.h"
#include "tests/support/desktop_rig.h"
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
    struct Note {
        uint replaces;
        QString summary;
        QString body;
    };
    QList<Note> notes;

public Q_SLOTS:
    QStringList GetCapabilities() { return {u"body"_s, u"body-markup"_s}; }
    uint Notify(const QString&, uint replaces, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        notes.append({replaces, summary, body});
        return 100 + static_cast<uint>(notes.size());
    }
};

// Hands out the write end of a pipe as the lock, as logind does with a FIFO: the lock is held
// while any copy of it is open, which the read end sees.
class LogindStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    ~LogindStandIn() override {
        if (readEnd_ >= 0)
            ::close(readEnd_);
    }
    QStringList calls;  // what, who and mode of each call
    bool Released() const {
        pollfd p{readEnd_, POLLIN, 0};
        return readEnd_ >= 0 && ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
    }

public Q_SLOTS:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString&,
                                    const QString& mode) {
        calls.append(what + u'|' + who + u'|' + mode);
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return {};
        if (readEnd_ >= 0)
            ::close(readEnd_);
        readEnd_ = fds[0];
        QDBusUnixFileDescriptor lock(fds[1]);  // a copy of its own
        ::close(fds[1]);
        return lock;
    }

private:
    int readEnd_ = -1;
};

class ChangeRecorder : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> changes;
public Q_SLOTS:
    void Changed(const QString&, const QVariantMap& changed, const QStringList&) { changes.append(changed); }
};

namespace {

const QString kPath = QString::fromUtf16(MprisService::kObjectPath);
const QString kRoot = QString::fromUtf16(MprisService::kRootInterface);
const QString kPlayer = QString::fromUtf16(MprisService::kPlayerInterface);
const QString kProperties = u"org.freedesktop.DBus.Properties"_s;

QVariant Plain(const QVariant& v) {
    if (v.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(v.value<QDBusArgument>());
    return v;
}

class DesktopBusTest : public MainWindowTest {
protected:
    static void SetUpTestSuite() {
        desktop_ = new DesktopRig;
        dbus_ = new DBusRig;
        ice_ = new IcecastRig;
        const auto mount = [](const char* path, const char* name, const char* title) {
            return ice_->StartSource({.mount = path, .name = name}) && ice_->SetTitle(path, title);
        };
        ready_ = desktop_->Start() && dbus_->Start() && ice_->Start() &&
                 mount("/a.mp3", "A & B FM", "Singer - Song 1") && mount("/b.mp3", "Second FM", "Other");
    }
    static void TearDownTestSuite() {
        delete ice_;
        delete dbus_;
        delete desktop_;
    }
    void SetUp() override {
        ASSERT_TRUE(ready_) << desktop_->Error() << dbus_->Error() << ice_->Error();
        MainWindowTest::SetUp();
        ASSERT_TRUE(WaitUntil([] { return TrayIcon::Available(); }, 10000)) << "trayer offers no tray";
        ASSERT_TRUE(ice_->SetTitle("/a.mp3", "Singer - Song 1") && ice_->SetTitle("/b.mp3", "Other"));
        static int n = 0;
        const QString address = QString::fromStdString(dbus_->Address());
        programBus_ = u"program%1"_s.arg(++n);
        testBus_ = u"test%1"_s.arg(n);
        ASSERT_TRUE(QDBusConnection::connectToBus(address, programBus_).isConnected());
        ASSERT_TRUE(QDBusConnection::connectToBus(address, testBus_).isConnected());
        Lists().favoriteList.AddItem({.file = Url("/a.mp3"), .title = u"A"_s});
        Lists().favoriteList.AddItem({.file = Url("/b.mp3"), .title = u"B"_s});
    }
    void TearDown() override {
        desk_.reset();
        MainWindowTest::TearDown();
        QDBusConnection::disconnectFromBus(programBus_);
        QDBusConnection::disconnectFromBus(testBus_);
    }

    static QString Url(const std::string& mount) { return QString::fromStdString(ice_->Url(mount)); }
    QDBusConnection Client() const { return QDBusConnection(testBus_); }

    // The window and the program's bus parts, the program's bus serving as both buses.
    frmMain& Start() {
        frmMain& w = Open();
        const QDBusConnection bus(programBus_);
        desk_ = std::make_unique<DesktopBus>(*core_, w, bus, bus);
        return w;
    }
    // Calls are asynchronous so that the program, in this same thread, can answer them.
    QDBusMessage Call(const QString& interface, const QString& method, const QVariantList& args = {}) {
        QDBusMessage m = QDBusMessage::createMethodCall(QString::fromUtf16(MprisService::kServiceName), kPath,
                                                        interface, method);
        m.setArguments(args);
        const QDBusPendingCall call = Client().asyncCall(m);
        EXPECT_TRUE(WaitUntil([&] { return call.isFinished(); }, 5000)) << method.toStdString();
        EXPECT_FALSE(call.isError()) << call.error().message().toStdString();
        return call.reply();
    }
    QVariant Get(const QString& interface, const QString& property) {
        const QDBusMessage reply = Call(kProperties, u"Get"_s, {interface, property});
        return reply.arguments().isEmpty() ? QVariant()
                                           : Plain(reply.arguments().at(0).value<QDBusVariant>().variant());
    }
    QVariantMap Metadata() { return Get(kPlayer, u"Metadata"_s).toMap(); }
    bool StatusIs(const QString& status, int timeoutMs = 15000) {
        return WaitUntil([&] { return Get(kPlayer, u"PlaybackStatus"_s).toString() == status; }, timeoutMs);
    }
    bool TitleIs(const QString& title) {
        return WaitUntil([&] { return player().SongTitle() == title; }, 15000);
    }

    static DesktopRig* desktop_;
    static DBusRig* dbus_;
    static IcecastRig* ice_;
    static bool ready_;
    QString programBus_;
    QString testBus_;
    std::unique_ptr<DesktopBus> desk_;
};
DesktopRig* DesktopBusTest::desktop_ = nullptr;
DBusRig* DesktopBusTest::dbus_ = nullptr;
IcecastRig* DesktopBusTest::ice_ = nullptr;
bool DesktopBusTest::ready_ = false;

TEST_F(DesktopBusTest, MprisShowsStatusSongAndVolumeAndSignalsEachChange) {
    frmMain& w = Start();
    ASSERT_TRUE(desk_->Mpris().Registered());
    ChangeRecorder changes;
    ASSERT_TRUE(Client().connect(QString::fromUtf16(MprisService::kServiceName), kPath, kProperties,
                                 u"PropertiesChanged"_s, &changes,
                                 SLOT(Changed(QString, QVariantMap, QStringList))));
    EXPECT_EQ(Get(kRoot, u"Identity"_s).toString(), u"Wavelot"_s);
    EXPECT_EQ(Get(kRoot, u"DesktopEntry"_s).toString(), u"wavelot"_s);
    EXPECT_EQ(Get(kPlayer, u"CanSeek"_s), QVariant(false));
    EXPECT_EQ(Get(kPlayer, u"PlaybackStatus"_s).toString(), u"Stopped"_s);

    w.PlayRadio(Url("/a.mp3"), u"A"_s, 0);
    ASSERT_TRUE(TitleIs(u"Singer - Song 1"_s));
    ASSERT_TRUE(StatusIs(u"Playing"_s));
    QVariantMap m = Metadata();
    EXPECT_EQ(m.value(u"xesam:title"_s).toString(), u"Song 1"_s);
    EXPECT_EQ(m.value(u"xesam:artist"_s).toStringList(), QStringList{u"Singer"_s});
    EXPECT_EQ(m.value(u"xesam:album"_s).toString(), u"A & B FM"_s);
    EXPECT_EQ(m.value(u"xesam:url"_s).toString(), Url("/a.mp3"));
    const QString firstId = m.value(u"mpris:trackid"_s).value<QDBusObjectPath>().path();
    EXPECT_TRUE(firstId.startsWith(QString::fromUtf16(MprisService::kTrackPathPrefix)));

    const auto signalled = [&](const QString& property, const QVariant& value) {
        return WaitUntil(
            [&] {
                for (const QVariantMap& c : changes.changes)
                    if (c.contains(property) && (!value.isValid() || Plain(c.value(property)) == value))
                        return true;
                return false;
            },
            15000);
    };
    EXPECT_TRUE(signalled(u"PlaybackStatus"_s, u"Playing"_s));
    changes.changes.clear();
    ASSERT_TRUE(ice_->SetTitle("/a.mp3", "Untitled song"));
    ASSERT_TRUE(signalled(u"Metadata"_s, {}));
    m = Metadata();
    EXPECT_EQ(m.value(u"xesam:title"_s).toString(), u"Untitled song"_s);
    EXPECT_FALSE(m.contains(u"xesam:artist"_s)) << "no \" - \": no artist";
    EXPECT_NE(m.value(u"mpris:trackid"_s).value<QDBusObjectPath>().path(), firstId);

    // Set on the bus: applied and stored as the slider does; set in the program: seen on the bus.
    Call(kProperties, u"Set"_s, {kPlayer, u"Volume"_s, QVariant::fromValue(QDBusVariant(0.25))});
    EXPECT_EQ(w.Volume(), 25);
    EXPECT_EQ(w.PicTrackBar()->Volume(), 25);
    EXPECT_EQ(Read(settings::kSavedVolume), u"25"_s);
    EXPECT_NEAR(Get(kPlayer, u"Volume"_s).toDouble(), 0.25, 1e-9);
    w.RunTrayCommand(7);  // "60 %"
    EXPECT_TRUE(signalled(u"Volume"_s, 0.6));
    EXPECT_NEAR(Get(kPlayer, u"Volume"_s).toDouble(), 0.6, 1e-9);
}

TEST_F(DesktopBusTest, MprisCommandsPlayStopStepThroughTheFavouritesRaiseAndQuit) {
    frmMain& w = Start();
    Call(kPlayer, u"Next"_s);  // nothing plays: the first favourite
    ASSERT_TRUE(StatusIs(u"Playing"_s));
    EXPECT_EQ(player().StationUrl(), Url("/a.mp3"));
    Call(kPlayer, u"PlayPause"_s);
    EXPECT_TRUE(StatusIs(u"Stopped"_s));
    Call(kPlayer, u"PlayPause"_s);  // the play command: the station started last
    ASSERT_TRUE(StatusIs(u"Playing"_s));
    EXPECT_EQ(player().StationUrl(), Url("/a.mp3"));
    Call(kPlayer, u"Next"_s);
    EXPECT_TRUE(WaitUntil([&] { return Metadata().value(u"xesam:album"_s) == u"Second FM"_s; }, 15000));
    Call(kPlayer, u"Next"_s);  // round to the first
    EXPECT_TRUE(WaitUntil([&] { return player().StationUrl() == Url("/a.mp3"); }, 15000));
    ASSERT_TRUE(StatusIs(u"Playing"_s));
    Call(kPlayer, u"Stop"_s);
    EXPECT_TRUE(StatusIs(u"Stopped"_s));

    w.close();
    ASSERT_TRUE(WaitUntil([&] { return !w.isVisible(); }, 3000));
    Call(kRoot, u"Raise"_s);
    EXPECT_TRUE(WaitUntil([&] { return w.isVisible(); }, 3000));
    EXPECT_FALSE(w.Tray().Shown()) << "as the tray's show command";
    Call(kRoot, u"Quit"_s);
    EXPECT_TRUE(WaitUntil([&] { return w.ShutDown(); }, 5000));
}

TEST_F(DesktopBusTest, OneNotificationPerSongWhileHiddenInTheTrayAndNoneWhileShown) {
    NotificationServer server;
    ASSERT_TRUE(Client().registerObject(QString::fromUtf16(SongNotifier::kPath), &server,
                                        QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(Client().registerService(QString::fromUtf16(SongNotifier::kService)));
    frmMain& w = Start();
    Pump(300);  // the server's capabilities
    w.PlayRadio(Url("/a.mp3"), u"A"_s, 0);
    ASSERT_TRUE(TitleIs(u"Singer - Song 1"_s));

    w.close();
    ASSERT_TRUE(WaitUntil([&] { return w.Tray().Shown(); }, 3000));
    for (const char* title : {"Song 2", "Song 3"}) {
        ASSERT_TRUE(ice_->SetTitle("/a.mp3", title));
        ASSERT_TRUE(TitleIs(QString::fromUtf8(title)));
    }
    ASSERT_TRUE(WaitUntil([&] { return server.notes.size() == 2; }, 5000));
    EXPECT_EQ(server.notes[0].summary, u"Song 2"_s);
    EXPECT_EQ(server.notes[0].body, u"A &amp; B FM"_s) << "the server reads markup";
    EXPECT_EQ(server.notes[0].replaces, 0u);
    EXPECT_EQ(server.notes[1].summary, u"Song 3"_s);
    EXPECT_EQ(server.notes[1].replaces, 101u) << "replaces the last one";

    w.ShowMainWindow();
    ASSERT_TRUE(ice_->SetTitle("/a.mp3", "Song 4"));
    ASSERT_TRUE(TitleIs(u"Song 4"_s));
    w.close();
    Write(settings::kSongNotify, u"0"_s);
    ASSERT_TRUE(ice_->SetTitle("/a.mp3", "Song 5"));
    ASSERT_TRUE(TitleIs(u"Song 5"_s));
    Pump(500);
    EXPECT_EQ(server.notes.size(), 2) << "none while shown, none when switched off";
    Client().unregisterService(QString::fromUtf16(SongNotifier::kService));
    Client().unregisterObject(QString::fromUtf16(SongNotifier::kPath));
}

TEST_F(DesktopBusTest, SleepIsInhibitedExactlyWhileARecordingIsWritten) {
    LogindStandIn logind;
    ASSERT_TRUE(Client().registerObject(QString::fromUtf16(SleepInhibitor::kPath), &logind,
                                        QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(Client().registerService(QString::fromUtf16(SleepInhibitor::kService)));
    frmMain& w = Start();
    w.PlayRadio(Url("/b.mp3"), u"B"_s, 0);
    ASSERT_TRUE(TitleIs(u"Other"_s));
    Pump(300);
    EXPECT_TRUE(logind.calls.isEmpty()) << "playing is no reason to stay awake";

    w.RunCommand(frmMain::kCmdRecord);
    ASSERT_TRUE(WaitUntil([&] { return desk_->Inhibitor().Held(); }, 5000));
    EXPECT_EQ(logind.calls, QStringList{u"sleep|Wavelot|block"_s});
    EXPECT_FALSE(logind.Released());
    ASSERT_TRUE(ice_->SetTitle("/b.mp3", "Next song"));  // the next file begins before the last ends
    ASSERT_TRUE(TitleIs(u"Next song"_s));
    Pump(1000);
    EXPECT_EQ(logind.calls.size(), 1) << "held across files";
    EXPECT_FALSE(logind.Released());

    w.RunCommand(frmMain::kCmdRecord);
    EXPECT_TRUE(WaitUntil([&] { return logind.Released(); }, 5000)) << "the lock's descriptor is closed";
    EXPECT_FALSE(desk_->Inhibitor().Held());
    Client().unregisterService(QString::fromUtf16(SleepInhibitor::kService));
    Client().unregisterObject(QString::fromUtf16(SleepInhibitor::kPath));
}

}  // namespace
}  // namespace wavelot::test

#include "desktop_bus_test.moc"
