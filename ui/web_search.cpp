#include "ui/web_search.h"

#include "core/ini_file.h"
#include "net/url_encode.h"

namespace wavelot {

namespace k = web_search_keys;

namespace {
QString HostValue(const QString& settingFile, const QString& key, const QString& fallback)
{
    IniDocument doc;
    doc.Load(settingFile);
    QString v = doc.Value(k::kSection, key).value_or(QString()).trimmed();
    while (v.endsWith(u'/'))
        v.chop(1);
    return v.isEmpty() ? fallback : v;
}
}  // namespace

WebSearchHosts LoadWebSearchHosts(const QString& settingFile)
{
    WebSearchHosts h;
    h.google = HostValue(settingFile, k::kGoogleHost, k::kDefaultGoogleHost);
    h.youtube = HostValue(settingFile, k::kYouTubeHost, k::kDefaultYouTubeHost);
    return h;
}

QUrl GoogleSearchUrl(const WebSearchHosts& hosts, const QString& title)
{
    return QUrl(hosts.google + QStringLiteral("/search?q=") + UrlEncode(title), QUrl::StrictMode);
}

QUrl YouTubeSearchUrl(const WebSearchHosts& hosts, const QString& title)
{
    return QUrl(hosts.youtube + QStringLiteral("/results?search_query=") + UrlEncode(title), QUrl::StrictMode);
}

}  // namespace wavelot
