#pragma once
// Types shared by the directory parsers and the search.

#include <functional>

namespace wavelot {

// Called once after every row a parser appends to the search list, with the new row's index,
// so a result view can add its row while the list fills. May be empty.
using RowAdded = std::function<void(int row)>;

}  // namespace wavelot
