#pragma once
// Web search of the song title from the status-bar menu. The hosts are configuration:
// compiled-in defaults, overridable in Setting.ini, section "WebSearch".

#include <QString>
#include <QUrl>

namespace wavelot {

namespace web_search_keys {
using namespace Qt::Literals::StringLiterals;
inline const QString kSection = u"WebSearch"_s;
inline const QString kGoogleHost = u"GoogleHost"_s;
inline const QString kYouTubeHost = u"YouTubeHost"_s;
inline const QString kDefaultGoogleHost = u"https://www.google.com"_s;
inline const QString kDefaultYouTubeHost = u"https://www.youtube.com"_s;
}  // namespace web_search_keys

struct WebSearchHosts {
    QString google = web_search_keys::kDefaultGoogleHost;
    QString youtube = web_search_keys::kDefaultYouTubeHost;
};

WebSearchHosts LoadWebSearchHosts(const QString& settingFile);
// host + "/search?q=" + every UTF-8 byte of the title percent-encoded.
QUrl GoogleSearchUrl(const WebSearchHosts& hosts, const QString& title);
// host + "/results?search_query=" + the title encoded the same way.
QUrl YouTubeSearchUrl(const WebSearchHosts& hosts, const QString& title);

}  // namespace wavelot
