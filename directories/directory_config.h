#pragma once
// Where the directories live: hosts, the SHOUTcast tune-in host, the Icecast site address put
// before its playlist paths, the three SHOUTcast developer keys and the Radio-Browser servers.
// Each has a compiled-in default and may be overridden in Setting.ini, section "Directories",
// so a test (or a user with a developer key of their own) can point every directory elsewhere.

#include <QString>
#include <QStringList>

#include <array>

namespace wavelot {

namespace directory_keys {

using namespace Qt::Literals::StringLiterals;

inline const QString kSection = u"Directories"_s;

inline const QString kShoutcastHost = u"ShoutcastHost"_s;              // legacy search interface
inline const QString kShoutcastTuneInHost = u"ShoutcastTuneInHost"_s;  // tune-in playlists
inline const QString kShoutcastKeys[3] = {u"ShoutcastKey1"_s, u"ShoutcastKey2"_s, u"ShoutcastKey3"_s};
inline const QString kIcecastHost = u"IcecastHost"_s;  // search page
inline const QString kIcecastBase = u"IcecastBase"_s;  // put before "/listen/..."
inline const QString kLiveDoorHost = u"LiveDoorHost"_s;
inline const QString kInLiveHost = u"InLiveHost"_s;
// Comma-separated base addresses ("https://host:port", no trailing slash). When present they
// replace the discovery of the directory's mirrors.
inline const QString kRadioBrowserServers = u"RadioBrowserServers"_s;

// Scheme and host (and port), no trailing slash.
inline const QString kDefaultShoutcastHost = u"http://api.shoutcast.com"_s;
inline const QString kDefaultShoutcastTuneInHost = u"http://yp.shoutcast.com"_s;
inline const QString kDefaultIcecastHost = u"http://dir.xiph.org"_s;
inline const QString kDefaultIcecastBase = u"http://dir.xiph.org"_s;
inline const QString kDefaultLiveDoorHost = u"http://yp.ladio.livedoor.jp"_s;
inline const QString kDefaultInLiveHost = u"http://www.inlive.co.kr"_s;
// The directory issues developer keys per user; none ships with the program, so the keys are
// empty until Setting.ini supplies them.
inline const QString kDefaultShoutcastKey = QString();

}  // namespace directory_keys

struct DirectoryConfig {
    QString shoutcastHost = directory_keys::kDefaultShoutcastHost;
    QString shoutcastTuneInHost = directory_keys::kDefaultShoutcastTuneInHost;
    std::array<QString, 3> shoutcastKeys{directory_keys::kDefaultShoutcastKey,
                                         directory_keys::kDefaultShoutcastKey,
                                         directory_keys::kDefaultShoutcastKey};
    QString icecastHost = directory_keys::kDefaultIcecastHost;
    QString icecastBase = directory_keys::kDefaultIcecastBase;
    QString liveDoorHost = directory_keys::kDefaultLiveDoorHost;
    QString inLiveHost = directory_keys::kDefaultInLiveHost;
    // Empty: find the mirrors at search time (radio_browser_servers.h).
    QStringList radioBrowserServers;
};

// Defaults overridden by every non-empty value of the section; trailing slashes of host
// values are dropped so paths join with exactly one (for each entry of the server list too,
// whose blank entries are skipped). A missing file gives the defaults.
DirectoryConfig LoadDirectoryConfig(const QString& settingFile);

}  // namespace wavelot
