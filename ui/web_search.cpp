#include "ui/web_search.h"

#include "core/settings.h"
#include "net/url_encode.h"

namespace wavelot {

namespace k = web_search_keys;

WebSearchHosts LoadWebSearchHosts(const QString& settingFile) {
    const ConfigOverrides o(settingFile, k::kSection);
    return {o.Host(k::kGoogleHost, k::kDefaultGoogleHost), o.Host(k::kYouTubeHost, k::kDefaultYouTubeHost)};
}

QUrl GoogleSearchUrl(const WebSearchHosts& hosts, const QString& title) {
    return QUrl(hosts.google + QStringLiteral("/search?q=") + UrlEncode(title), QUrl::StrictMode);
}

QUrl YouTubeSearchUrl(const WebSearchHosts& hosts, const QString& title) {
    return QUrl(hosts.youtube + QStringLiteral("/results?search_query=") + UrlEncode(title),
                QUrl::StrictMode);
}

}  // namespace wavelot
