#include "engine/audio/playlist.h"

#include <map>
#include <vector>

namespace wavelot::audio {

namespace {

QByteArray BaseType(const QByteArray& contentType) {
    QByteArray t = contentType;
    qsizetype semi = t.indexOf(';');
    if (semi >= 0)
        t.truncate(semi);
    return t.trimmed().toLower();
}

QByteArray StripBom(const QByteArray& b) {
    return b.startsWith("\xEF\xBB\xBF") ? b.mid(3) : b;
}

bool HasScheme(const QByteArray& s) {
    qsizetype p = s.indexOf("://");
    if (p <= 0)
        return false;
    for (qsizetype i = 0; i < p; ++i) {
        char c = s.at(i);
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
              c == '-' || c == '.'))
            return false;
    }
    return true;
}

}  // namespace

bool ContentTypeIsAudio(const QByteArray& contentType) {
    const QByteArray t = BaseType(contentType);
    if (t.contains("mpegurl") || t.contains("scpls") || t.contains("x-pls"))
        return false;
    return t.startsWith("audio/") || t.startsWith("video/") || t == "application/ogg" ||
           t == "application/vnd.ms-asf" || t == "application/x-mms-framed";
}

bool LooksLikePlaylist(const QByteArray& contentType, const QByteArray& firstBytes) {
    const QByteArray t = BaseType(contentType);
    if (t.contains("mpegurl") || t.contains("scpls") || t.contains("x-pls") || t == "application/pls+xml")
        return true;
    if (ContentTypeIsAudio(contentType))
        return false;
    const QByteArray head = StripBom(firstBytes).trimmed();
    const QByteArray lower = head.left(16).toLower();
    return lower.startsWith("[playlist]") || lower.startsWith("#extm3u") ||
           HasScheme(head.left(200).split('\n').first().trimmed());
}

QList<QByteArray> ParsePlaylist(const QByteArray& body) {
    const QByteArray text = StripBom(body);
    if (text.toLower().contains("#ext-x-targetduration"))
        return {};
    QList<QByteArray> lines = text.split('\n');
    std::map<int, QByteArray> pls;
    QList<QByteArray> m3u;
    bool isPls = false;
    for (QByteArray line : lines) {
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        if (line.toLower() == "[playlist]") {
            isPls = true;
            continue;
        }
        if (line.left(4).toLower() == "file") {
            qsizetype eq = line.indexOf('=');
            bool ok = false;
            int n = eq > 4 ? line.mid(4, eq - 4).toInt(&ok) : 0;
            QByteArray value = eq > 0 ? line.mid(eq + 1).trimmed() : QByteArray();
            if (ok && HasScheme(value) && !pls.count(n)) {
                pls[n] = value;
                continue;
            }
        }
        if (!line.startsWith('#') && HasScheme(line))
            m3u.append(line);
    }
    QList<QByteArray> out;
    if (isPls || !pls.empty()) {
        for (const auto& [n, url] : pls)
            out.append(url);
        if (!out.isEmpty())
            return out;
    }
    return m3u;
}

PlaylistResolver::PlaylistResolver(const QByteArray& url, PlaylistLimits limits) : limits_(limits) {
    pending_.push_back({url, 0});
}

QByteArray PlaylistResolver::Next() {
    while (!pending_.empty() && requests_ < limits_.maxRequests) {
        Pending p = std::move(pending_.front());
        pending_.pop_front();
        if (asked_.contains(p.url))
            continue;
        asked_.insert(p.url);
        depth_ = p.depth;
        ++requests_;
        return p.url;
    }
    return {};
}

void PlaylistResolver::AddPlaylist(const QByteArray& body) {
    if (depth_ >= limits_.maxDepth)
        return;
    const QList<QByteArray> entries = ParsePlaylist(body.left(limits_.maxBytes));
    std::vector<Pending> add;
    for (const QByteArray& url : entries) {
        if (int(add.size()) >= limits_.maxEntries)
            break;
        if (!asked_.contains(url))
            add.push_back({url, depth_ + 1});
    }
    pending_.insert(pending_.begin(), add.begin(), add.end());
}

}  // namespace wavelot::audio
