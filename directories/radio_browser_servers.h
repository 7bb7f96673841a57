#pragma once
// Which Radio-Browser servers a search asks. The directory runs several mirrors behind one
// round-robin name and asks clients to pick one by name and to move on when it fails.

#include <QString>
#include <QStringList>

#include "directories/directory_config.h"

namespace wavelot {

namespace radio_browser {

using namespace Qt::Literals::StringLiterals;

// Resolves to every mirror; the mirrors' own names come from the reverse lookups.
inline const QString kPoolHost = u"all.api.radio-browser.info"_s;
// Names a mirror must end with to be taken from the lookups.
inline const QString kMirrorDomain = u".radio-browser.info"_s;

}  // namespace radio_browser

// Mirrors known when this was written, for when the resolver does not answer.
QStringList RadioBrowserBuiltInServers();

// "https://" + each mirror name found behind kPoolHost; empty when the resolver does not
// answer within a few seconds. A successful discovery is kept for the rest of the run.
QStringList DiscoverRadioBrowserServers();

// Base addresses for one search, in the order to try them: the configured list when there is
// one, else the discovered mirrors, else the built-in list; shuffled every time, so clients
// spread over the mirrors and a dead one is not always the first asked.
QStringList RadioBrowserServers(const DirectoryConfig& config);

}  // namespace wavelot
