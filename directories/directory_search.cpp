#include "directories/directory_search.h"

#include <cstring>

#include "directories/icecast_parser.h"
#include "directories/inlive_parser.h"
#include "directories/livedoor_parser.h"
#include "directories/radio_list.h"
#include "directories/shoutcast_parser.h"
#include "net/http_fetch.h"

using namespace Qt::StringLiterals;

namespace wavelot {

namespace {

bool InTable(int directory) {
    return directory >= 0 && directory < kDirectoryCount;
}

QString QueryText(const SearchRequest& request) {
    return request.searchKind == kSearchByName ? request.text : GenreQueryKey(request.genreIndex);
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

void ParseRawBoxText(int directory, const QString& rawText, const QString& developerKey,
                     const DirectoryConfig& config, clsSongArray& searchList, clsSongArray& scratchList,
                     const RowAdded& onRow) {
    switch (static_cast<Directory>(directory)) {
    case Directory::Shoutcast:
        ParseShoutcastAnswer(rawText, developerKey, config.shoutcastTuneInHost, searchList, onRow);
        break;
    case Directory::Icecast: ParseIcecastPage(rawText, config.icecastBase, searchList, onRow); break;
    case Directory::LiveDoor: ParseLiveDoorList(rawText, searchList, onRow); break;
    case Directory::InLive: ParseInLivePage(rawText, scratchList, searchList, onRow); break;
    case Directory::Local:
    default: break;
    }
}

SearchOutcome RunDirectorySearch(const SearchRequest& request, const DirectoryConfig& config,
                                 const QString& radioListPath, clsSongArray& searchList,
                                 clsSongArray& scratchList, const RowAdded& onRow) {
    SearchOutcome out;
    searchList.Clear();
    scratchList.Clear();
    if (!InTable(request.directory))
        return out;

    const int directory = request.directory;
    if (directory == static_cast<int>(Directory::Local)) {
        LoadRadioList(radioListPath, searchList, onRow);
        return out;
    }

    const int codePage = kDirectories[directory].codePage;
    QString answer;
    if (directory == static_cast<int>(Directory::Shoutcast)) {
        for (size_t k = 0; k < config.shoutcastKeys.size(); ++k) {
            out.developerKey = config.shoutcastKeys[k];
            out.urls << SendableUrl(SearchUrl(request, config, out.developerKey));
            answer = HttpGetText(out.urls.last(), codePage);
            if (!IsRejectedKeyStatus(GetShoutcastStatus(answer)))
                break;
        }
    } else {
        out.urls << SendableUrl(SearchUrl(request, config));
        answer = HttpGetText(out.urls.last(), codePage);
    }

    out.rawText = RawBoxText(directory, answer);
    ParseRawBoxText(directory, out.rawText, out.developerKey, config, searchList, scratchList, onRow);
    return out;
}

DirectorySearch::DirectorySearch(QString settingFile, QString radioListPath, clsSongArray& searchList,
                                 clsSongArray& scratchList)
    : settingFile_(std::move(settingFile)),
      radioListPath_(std::move(radioListPath)),
      searchList_(searchList),
      scratchList_(scratchList) {}

SearchOutcome DirectorySearch::Run(const SearchRequest& request, const RowAdded& onRow) {
    if (running_)
        return {};
    running_ = true;
    rawText_.clear();
    SearchOutcome out = RunDirectorySearch(request, LoadDirectoryConfig(settingFile_), radioListPath_,
                                           searchList_, scratchList_, onRow);
    rawText_ = out.rawText;
    running_ = false;
    return out;
}

}  // namespace wavelot
