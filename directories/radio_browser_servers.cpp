#include "directories/radio_browser_servers.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <random>

#include "net/host_names.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

constexpr std::chrono::milliseconds kDiscoveryLimit{3000};

std::mutex gMutex;  // guards the two below
QStringList gDiscovered;
std::mt19937 gShuffle{std::random_device{}()};

}  // namespace

QStringList RadioBrowserBuiltInServers() {
    return {u"https://de1.api.radio-browser.info"_s, u"https://de2.api.radio-browser.info"_s,
            u"https://fi1.api.radio-browser.info"_s, u"https://nl1.api.radio-browser.info"_s,
            u"https://at1.api.radio-browser.info"_s};
}

QStringList DiscoverRadioBrowserServers() {
    {
        std::lock_guard lock(gMutex);
        if (!gDiscovered.isEmpty())
            return gDiscovered;
    }
    QStringList servers;
    for (const QString& name : ResolveHostNames(radio_browser::kPoolHost, kDiscoveryLimit)) {
        // A name outside the directory's domain would not match the mirror's certificate.
        if (name.endsWith(radio_browser::kMirrorDomain))
            servers << u"https://"_s + name;
    }
    std::lock_guard lock(gMutex);
    if (!servers.isEmpty())
        gDiscovered = servers;
    return servers;
}

QStringList RadioBrowserServers(const DirectoryConfig& config) {
    QStringList servers = config.radioBrowserServers;
    if (servers.isEmpty())
        servers = DiscoverRadioBrowserServers();
    if (servers.isEmpty())
        servers = RadioBrowserBuiltInServers();
    std::lock_guard lock(gMutex);
    std::shuffle(servers.begin(), servers.end(), gShuffle);
    return servers;
}

}  // namespace wavelot
