#include "directories/directory_search.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "directories/icecast_parser.h"
#include "directories/inlive_parser.h"
#include "directories/livedoor_parser.h"
#include "directories/radio_browser_clicks.h"
#include "directories/radio_browser_servers.h"
#include "directories/radio_list.h"
#include "directories/shoutcast_parser.h"
#include "text/code_page.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

bool InTable(int directory) {
    return directory >= 0 && directory < kDirectoryCount;
}

QString QueryText(const SearchRequest& request) {
    return request.searchKind == kSearchByName ? request.text : GenreQueryKey(request.genreIndex);
}

// Fetches one address into the outcome's record; the decoded body of a 200 answer, else the
// empty text with the status saying what failed.
QString FetchInto(SearchOutcome& out, const QString& url, int codePage, const HttpLimits& limits = {}) {
    out.urls << url;
    const HttpResult r = HttpGet(url, limits);
    if (!r.transferOk) {
        out.status = SearchStatus::FetchFailed;
        out.fetchFailure = r.failure;
        out.httpStatus = 0;
        return {};
    }
    out.fetchFailure = HttpFailure::None;
    out.httpStatus = r.status;
    if (r.status != 200) {
        out.status = SearchStatus::HttpError;
        return {};
    }
    out.status = SearchStatus::NothingFound;
    return DecodeBytes(r.body, codePage);
}

bool FetchFailed(const SearchOutcome& out) {
    return out.status == SearchStatus::FetchFailed || out.status == SearchStatus::HttpError;
}

// A mirror that is down or overloaded says so with these; another mirror may well answer.
bool TryAnotherServer(const SearchOutcome& out) {
    return out.status == SearchStatus::FetchFailed || out.httpStatus == 429 || out.httpStatus >= 500;
}

QString FetchRadioBrowser(const SearchRequest& request, const DirectoryConfig& config, SearchOutcome& out) {
    using Clock = std::chrono::steady_clock;
    using std::chrono::milliseconds;
    // The mirrors share one limit, counted from before they are looked up: a mirror that
    // trickles its answer holds the search no longer than one that never answers.
    const Clock::time_point deadline = Clock::now() + kRadioBrowserSearchLimit;
    const QString path = RadioBrowserSearchPath(request.searchKind, request.genreIndex, request.text);
    const int codePage = kDirectories[static_cast<int>(Directory::RadioBrowser)].codePage;
    for (const QString& server : RadioBrowserServers(config)) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (left <= milliseconds(0))
            break;  // the last server's time-out stands (the lookup is bounded far below the limit)
        HttpLimits limits;
        limits.timeLimit = left;
        limits.connectTimeLimit = std::min<milliseconds>(std::chrono::seconds(5), left);
        const QString answer = FetchInto(out, server + path, codePage, limits);
        if (!FetchFailed(out)) {
            out.server = server;
            return answer;
        }
        if (!TryAnotherServer(out))
            break;
    }
    return {};
}

// The status of a search whose fetch worked, from what the parser made of the answer.
SearchStatus StatusAfterParse(const SearchOutcome& out, int directory, bool recognised, int rows,
                              const QString& answer) {
    if (rows > 0)
        return SearchStatus::Found;
    if (directory == static_cast<int>(Directory::Shoutcast)) {
        if (out.developerKey.isEmpty())
            return SearchStatus::NoKey;
        if (IsRejectedKeyStatus(GetShoutcastStatus(answer)))
            return SearchStatus::KeyRejected;
    }
    return recognised ? SearchStatus::NothingFound : SearchStatus::Unreadable;
}

bool Contains(const QString& text, const QString& marker) {
    return text.contains(marker, Qt::CaseInsensitive);
}

}  // namespace

QString SearchUrl(const SearchRequest& request, const DirectoryConfig& config, const QString& developerKey) {
    switch (static_cast<Directory>(request.directory)) {
    case Directory::Shoutcast:
        return config.shoutcastHost + u"/legacy/genresearch?k="_s + developerKey +
               (request.searchKind == kSearchByName ? u"&search="_s : u"&genre="_s) + QueryText(request);
    case Directory::Icecast: return config.icecastHost + u"/search?search="_s + QueryText(request);
    case Directory::LiveDoor: return config.liveDoorHost + u"/stats/list.v2.zdat"_s;
    case Directory::InLive: return config.inLiveHost + u"/rank/rank_bc2.htm?listmode=100"_s;
    case Directory::RadioBrowser: {
        const QStringList servers = config.radioBrowserServers;
        return (servers.isEmpty() ? RadioBrowserBuiltInServers().first() : servers.first()) +
               RadioBrowserSearchPath(request.searchKind, request.genreIndex, request.text);
    }
    case Directory::Local:
    default: return {};
    }
}

QString SendableUrl(const QString& url) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const QByteArray bytes = url.toUtf8();
    QByteArray out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b <= 0x20 || b >= 0x7F || std::strchr("\"<>\\^`{|}#", ch) != nullptr) {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        } else {
            out += ch;
        }
    }
    return QString::fromLatin1(out);
}

bool IsRejectedKeyStatus(const QString& status) {
    return status == u"450"_s || status == u"441"_s;
}

QString RawBoxText(int directory, const QString& answer) {
    const qsizetype nul = answer.indexOf(QChar(u'\0'));
    QString box = nul < 0 ? answer : answer.left(nul);
    if (directory == static_cast<int>(Directory::LiveDoor)) {
        box.replace(u"\n"_s, u"\r\n"_s);
    } else if (directory == static_cast<int>(Directory::Shoutcast)) {
        box.replace(u"id\""_s, u"\r\nid"_s);
        box.replace(u"\":"_s, u":"_s);
    }
    return box;
}

bool ParseRawBoxText(int directory, const QString& rawText, const QString& developerKey,
                     const DirectoryConfig& config, clsSongArray& searchList, clsSongArray& scratchList,
                     const RowAdded& onRow, RadioBrowserIds* stationIds) {
    const int before = searchList.ListCount();
    bool recognised = false;
    switch (static_cast<Directory>(directory)) {
    case Directory::Shoutcast:
        ParseShoutcastAnswer(rawText, developerKey, config.shoutcastTuneInHost, searchList, onRow);
        recognised = Contains(rawText, u"<stationlist"_s);
        break;
    case Directory::Icecast:
        ParseIcecastPage(rawText, config.icecastBase, searchList, onRow);
        recognised = Contains(rawText, u"servers-list"_s);
        break;
    case Directory::LiveDoor:
        ParseLiveDoorList(rawText, searchList, onRow);
        recognised = rawText.trimmed().isEmpty();
        break;
    case Directory::InLive: ParseInLivePage(rawText, scratchList, searchList, onRow); break;
    case Directory::RadioBrowser: return ParseRadioBrowserAnswer(rawText, searchList, stationIds, onRow);
    case Directory::Local:
    default: return false;
    }
    return recognised || searchList.ListCount() > before;
}

SearchOutcome RunDirectorySearch(const SearchRequest& request, const DirectoryConfig& config,
                                 const QString& radioListPath, clsSongArray& searchList,
                                 clsSongArray& scratchList, const RowAdded& onRow) {
    SearchOutcome out;
    searchList.Clear();
    scratchList.Clear();
    if (!InTable(request.directory)) {
        out.status = SearchStatus::NotADirectory;
        return out;
    }

    const int directory = request.directory;
    if (directory == static_cast<int>(Directory::Local)) {
        if (!LoadRadioList(radioListPath, searchList, onRow))
            out.status = SearchStatus::ListUnreadable;
        else
            out.status = searchList.ListCount() > 0 ? SearchStatus::Found : SearchStatus::NothingFound;
        return out;
    }

    const int codePage = kDirectories[directory].codePage;
    QString answer;
    if (directory == static_cast<int>(Directory::Shoutcast)) {
        for (size_t k = 0; k < config.shoutcastKeys.size(); ++k) {
            out.developerKey = config.shoutcastKeys[k];
            answer = FetchInto(out, SendableUrl(SearchUrl(request, config, out.developerKey)), codePage);
            if (!IsRejectedKeyStatus(GetShoutcastStatus(answer)))
                break;
        }
    } else if (directory == static_cast<int>(Directory::RadioBrowser)) {
        answer = FetchRadioBrowser(request, config, out);
    } else {
        answer = FetchInto(out, SendableUrl(SearchUrl(request, config)), codePage);
    }

    out.rawText = RawBoxText(directory, answer);
    const bool recognised = ParseRawBoxText(directory, out.rawText, out.developerKey, config, searchList,
                                            scratchList, onRow, &out.stationIds);
    if (!FetchFailed(out)) {
        out.status = StatusAfterParse(out, directory, recognised, searchList.ListCount(), answer);
    } else if (directory == static_cast<int>(Directory::Shoutcast) && out.developerKey.isEmpty() &&
               out.status == SearchStatus::HttpError && out.httpStatus >= 400 && out.httpStatus < 500) {
        out.status = SearchStatus::NoKey;  // refused for want of a key, whatever the status says
    }
    return out;
}

DirectorySearch::DirectorySearch(QString settingFile, QString radioListPath, clsSongArray& searchList,
                                 clsSongArray& scratchList)
    : settingFile_(std::move(settingFile)),
      radioListPath_(std::move(radioListPath)),
      searchList_(searchList),
      scratchList_(scratchList) {}

DirectorySearch::~DirectorySearch() = default;

SearchOutcome DirectorySearch::Run(const SearchRequest& request, const RowAdded& onRow) {
    if (running_)
        return {};
    running_ = true;
    rawText_.clear();
    SearchOutcome out = RunDirectorySearch(request, LoadDirectoryConfig(settingFile_), radioListPath_,
                                           searchList_, scratchList_, onRow);
    rawText_ = out.rawText;
    radioBrowserServer_ = out.server;
    radioBrowserIds_ = out.stationIds;
    running_ = false;
    return out;
}

void DirectorySearch::ReportPlayed(const QString& file) {
    const auto id = radioBrowserIds_.constFind(file);
    if (id == radioBrowserIds_.constEnd() || radioBrowserServer_.isEmpty())
        return;
    if (!clicks_)
        clicks_ = std::make_unique<RadioBrowserClicks>();
    clicks_->Send(SendableUrl(radioBrowserServer_ + RadioBrowserClickPath(*id)));
}

}  // namespace wavelot
