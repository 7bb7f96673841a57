#pragma once
// The line the status bar (and wavelot-cli's error output) shows for how a search ended.

#include <QString>

#include "directories/directory_search.h"

namespace wavelot {

// True for the statuses that mean the search could not be done, as opposed to one that found
// stations or found none.
bool IsSearchFailure(SearchStatus status);

// One short line in Traditional Chinese naming what failed and, where it helps, the host that
// failed ("搜尋失敗：無法連線至 dir.example:8000"); "搜尋完成：沒有找到電台" for a search that
// worked and found nothing; empty for one that found stations.
QString SearchStatusLine(const SearchOutcome& outcome);

}  // namespace wavelot
