#pragma once
// Types shared by the directory parsers and the search.

#include <functional>

namespace wavelot {

// Called once after every row a parser appends to the search list, with the new row's index,
// so a result view can add its row while the list fills. May be empty.
using RowAdded = std::function<void(int row)>;

// How a search ended. The result list is empty for every status but Found; the status tells
// the user why.
enum class SearchStatus {
    Found,           // at least one station
    NothingFound,    // the directory answered in its own form and listed no station
    FetchFailed,     // no answer: see the outcome's fetchFailure
    HttpError,       // the server answered with another status than 200 (the outcome's httpStatus)
    KeyRejected,     // SHOUTcast refused every developer key tried
    NoKey,           // SHOUTcast found nothing or answered 4xx, and no developer key is configured
    Unreadable,      // an answer, but not in the form the directory's parser reads
    ListUnreadable,  // the local list file is missing or cannot be read
    NotADirectory,   // a directory index outside the table
};

}  // namespace wavelot
