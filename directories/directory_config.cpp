#include "directories/directory_config.h"

#include "core/settings.h"

namespace wavelot {

DirectoryConfig LoadDirectoryConfig(const QString& settingFile) {
    using namespace directory_keys;
    const ConfigOverrides o(settingFile, kSection);
    DirectoryConfig c;
    c.shoutcastHost = o.Host(kShoutcastHost, c.shoutcastHost);
    c.shoutcastTuneInHost = o.Host(kShoutcastTuneInHost, c.shoutcastTuneInHost);
    for (size_t k = 0; k < c.shoutcastKeys.size(); ++k)
        c.shoutcastKeys[k] = o.Text(kShoutcastKeys[k], c.shoutcastKeys[k]);
    c.icecastHost = o.Host(kIcecastHost, c.icecastHost);
    c.icecastBase = o.Host(kIcecastBase, c.icecastBase);
    c.liveDoorHost = o.Host(kLiveDoorHost, c.liveDoorHost);
    c.inLiveHost = o.Host(kInLiveHost, c.inLiveHost);
    for (QString server : o.Text(kRadioBrowserServers, QString()).split(u',')) {
        server = server.trimmed();
        while (server.endsWith(u'/'))
            server.chop(1);
        if (!server.isEmpty())
            c.radioBrowserServers << server;
    }
    return c;
}

}  // namespace wavelot
