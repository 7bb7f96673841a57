// Station logos fetched from a server of the test's own: a real image reaches the cache as a
// small PNG, once; answers that are too large, not an image or too slow leave nothing behind.
#include "directories/station_logos.h"

#include <gtest/gtest.h>

#include <QtCore/qtestsupport_core.h>
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "tests/support/http_server.h"

namespace wavelot::test {
namespace {

using namespace Qt::StringLiterals;

std::string Png(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer out(&bytes);
    out.open(QIODevice::WriteOnly);
    image.save(&out, "PNG");
    return bytes.toStdString();
}

TEST(StationLogos, AnImageIsKeptScaledOnceAndHostileAnswersChangeNothing) {
    HttpServer server;
    ASSERT_TRUE(server.Ok());
    server.Handle("/logo.png",
                  [](const HttpRequest&) { return HttpResponse::Ok(Png(600, 300), "image/png"); });
    // A readable image behind 600 KiB: only the size refuses it.
    server.Handle("/huge.png", [](const HttpRequest&) {
        return HttpResponse::Ok(Png(8, 8) + std::string(600 * 1024, '\0'), "image/png");
    });
    server.Handle("/page.png",
                  [](const HttpRequest&) { return HttpResponse::Ok("<html><p>logo</p></html>"); });
    server.Handle("/slow.png", [](const HttpRequest&) {
        HttpResponse r = HttpResponse::Ok(Png(8, 8), "image/png");
        r.delayMs = 3000;
        return r;
    });
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"logos"_s);
    const QString settings = dir.filePath(u"Setting.ini"_s);
    {
        StationLogos logos(folder, settings);
        logos.SetTimeLimit(std::chrono::milliseconds(1000));
        QSignalSpy ready(&logos, &StationLogos::logoReady);
        for (const char* path : {"/logo.png", "/huge.png", "/page.png", "/slow.png"})
            logos.Want(u"http://station.test"_s + QString::fromLatin1(path), server.UrlText(path));
        logos.Want(u"http://other.test/"_s, server.UrlText("/logo.png"));  // the same logo, one fetch
        ASSERT_TRUE(QTest::qWaitFor([&] { return !logos.Fetching(); }, 10000));
        EXPECT_EQ(ready.size(), 2);
        const QString file = logos.LogoFile(u"http://station.test/logo.png"_s);
        EXPECT_EQ(QImage(file).size(), QSize(256, 128));
        EXPECT_EQ(logos.LogoFile(u"http://other.test/"_s), file);
        for (const char* path : {"/huge.png", "/page.png", "/slow.png"}) {
            EXPECT_TRUE(logos.LogoFile(u"http://station.test"_s + QString::fromLatin1(path)).isEmpty())
                << path;
            logos.Want(u"http://station.test/again"_s, server.UrlText(path));  // not tried twice
        }
        EXPECT_FALSE(logos.Fetching());
        EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{QFileInfo(file).fileName()});
        EXPECT_EQ(QFileInfo(folder).permissions() & 0x0077, 0) << "private to the user";
    }
    // The next run finds the logo in the cache without asking the server.
    const size_t asked = server.RequestCount();
    StationLogos next(folder, settings);
    QSignalSpy ready(&next, &StationLogos::logoReady);
    next.Want(u"http://station.test/logo.png"_s, server.UrlText("/logo.png"));
    EXPECT_EQ(ready.size(), 1);
    EXPECT_FALSE(next.LogoFile(u"http://station.test/logo.png"_s).isEmpty());
    EXPECT_EQ(server.RequestCount(), asked);
}

}  // namespace
}  // namespace wavelot::test
