#pragma once
// The search command without its window: the window hands over what its inputs hold, shows
// `rawText` in its raw-text box and the rows of the search list in its result view.
//
// The parsers read the answer as the raw-text box holds it, so the steps that the box applies
// are part of the search: the box keeps text up to its first NUL; for LiveDoor every LF
// becomes CR LF; for SHOUTcast every `id"` becomes CR LF + "id" and every `":` becomes ":".
// `parse` of wavelot-cli runs the same steps on a saved answer.

#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

#include "core/song_array.h"
#include "directories/directory_config.h"
#include "directories/directory_tables.h"
#include "directories/directory_types.h"
#include "directories/radio_browser.h"
#include "net/http_fetch.h"

namespace wavelot {

class RadioBrowserClicks;

struct SearchRequest {
    int directory = static_cast<int>(Directory::Shoutcast);  // index in the directory table
    int searchKind = kSearchByGenre;  // kSearchByName uses `text`; any other value the genre
    int genreIndex = 0;               // outside the genre table: empty query key
    QString text;                     // typed name, sent exactly as typed (not trimmed or encoded)
};

struct SearchOutcome {
    QString rawText;       // the raw-text box's text after the steps above
    QStringList urls;      // every address fetched, as sent, in order (empty for the local list)
    QString developerKey;  // SHOUTcast: the key whose answer was parsed

    SearchStatus status = SearchStatus::NothingFound;
    HttpFailure fetchFailure = HttpFailure::None;  // FetchFailed: why
    long httpStatus = 0;                           // HttpError: the status
    QString server;                                // Radio-Browser: the base address that answered
    RadioBrowserIds stationIds;                    // Radio-Browser: the rows' station identifiers
};

// Address of one request: SHOUTcast with `developerKey`, the other directories ignore it;
// Radio-Browser on its first configured (else built-in) server, although a search asks its
// servers in turn. Empty for the local list and for an index outside the table.
QString SearchUrl(const SearchRequest& request, const DirectoryConfig& config,
                  const QString& developerKey = QString());

// The request as it goes on the wire. The typed text and the genre keys are put into the
// address unencoded, but an HTTP request line cannot carry a blank, a control character or a
// non-ASCII letter: those (and the characters a URL never allows, including "#", which would
// cut the query off as a fragment) are sent as UTF-8 percent escapes. Everything else, "%"
// and "&" among them, stays as it stands, so "R%26B" still arrives as "R%26B".
QString SendableUrl(const QString& url);

// True for the status codes with which SHOUTcast rejects a developer key ("450", "441").
bool IsRejectedKeyStatus(const QString& status);

// What the raw-text box holds after the fetched text `answer` went in (steps above).
QString RawBoxText(int directory, const QString& answer);

// Runs the directory's parser over box text, appending to `searchList` (and, for InLive,
// `scratchList`; for Radio-Browser the station identifiers to `stationIds` when given). Does
// nothing for the local list and unknown indexes, and returns false for them.
//
// Returns whether the text is an answer of the directory's own form, so that an answer that
// lists no station can be told from one the parser cannot read: true whenever rows were found;
// otherwise SHOUTcast needs its station list element, Icecast its result table, LiveDoor an
// empty listing or SRV lines, Radio-Browser a JSON array; an InLive page without a station
// is never taken for an empty ranking.
bool ParseRawBoxText(int directory, const QString& rawText, const QString& developerKey,
                     const DirectoryConfig& config, clsSongArray& searchList, clsSongArray& scratchList,
                     const RowAdded& onRow = {}, RadioBrowserIds* stationIds = nullptr);

// The whole command: empties both lists, fetches (SHOUTcast keys in order while the answer
// rejects the key; the last answer counts whatever its status), and parses, or for the local
// list reads `radioListPath`. A failed fetch or unreadable file leaves the lists empty, and
// the outcome's status says which it was.
//
// Radio-Browser asks its servers (radio_browser_servers.h) in turn: one that cannot be reached,
// or answers 429 (too many requests) or a 5xx status, hands the search to the next; the first
// other answer counts. Each server gets 5 s to accept the connection, and all of them together,
// with the lookup of the mirrors, kRadioBrowserSearchLimit: a server is given what is left of
// it, and a search that runs out ends as a time-out of the last server asked.
//
// Blocks until done, processing window events while the fetch runs.
inline constexpr std::chrono::milliseconds kRadioBrowserSearchLimit{15000};
SearchOutcome RunDirectorySearch(const SearchRequest& request, const DirectoryConfig& config,
                                 const QString& radioListPath, clsSongArray& searchList,
                                 clsSongArray& scratchList, const RowAdded& onRow = {});

// The search command as the search page and `wavelot-cli search` run it: the directory hosts are
// read from the settings file at every search (settings are never cached), the results go to
// the search list (InLive's raw rows to the scratch list), and the raw-text box's text is kept
// for whoever shows it.
class DirectorySearch {
public:
    DirectorySearch(QString settingFile, QString radioListPath, clsSongArray& searchList,
                    clsSongArray& scratchList);

    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;
    ~DirectorySearch();

    // Blocks until done (processing events while the fetch runs). A second call while one runs
    // (a click from inside the wait) does nothing and returns an empty outcome.
    SearchOutcome Run(const SearchRequest& request, const RowAdded& onRow = {});
    // A row of the last search, by its File, is being played. For a Radio-Browser row the
    // directory is told (it ranks stations by plays); returns at once, as the request goes out
    // on a worker thread and its outcome does not matter. Other rows are left alone.
    void ReportPlayed(const QString& file);
    bool Running() const { return running_; }
    // The raw-text box: the last answer after the box's steps.
    const QString& RawText() const { return rawText_; }
    clsSongArray& Results() { return searchList_; }

private:
    QString settingFile_;
    QString radioListPath_;
    clsSongArray& searchList_;
    clsSongArray& scratchList_;
    QString rawText_;
    bool running_ = false;
    QString radioBrowserServer_;  // the server that answered the last search
    RadioBrowserIds radioBrowserIds_;
    std::unique_ptr<RadioBrowserClicks> clicks_;  // made with the first report
};

}  // namespace wavelot
