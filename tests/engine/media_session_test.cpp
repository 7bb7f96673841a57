// Which favourite the media controls' next and previous buttons start.
#include <gtest/gtest.h>

#include <tuple>

#include "core/song_array.h"
#include "engine/media_session.h"

namespace wavelot {
namespace {

using namespace Qt::Literals::StringLiterals;

TEST(FavoriteAfter, StepsRoundTheFavouritesFromTheStationThatPlays) {
    clsSongArray favorites;
    for (const auto& [url, title] : {std::pair{u"http://a/"_s, u"A"_s}, std::pair{u"http://b/"_s, u"B"_s},
                                     std::pair{u"http://b/"_s, u"B2"_s}, std::pair{u"http://c/"_s, u"C"_s}})
        favorites.AddItem({.file = url, .title = title});
    // Address, name, step, the favourite started.
    const std::tuple<QString, QString, int, int> cases[] = {
        {u"http://a/"_s, u"A"_s, 1, 1},       {u"http://a/"_s, u"A"_s, -1, 3},  // round to the last
        {u"http://c/"_s, u"C"_s, 1, 0},                                         // round to the first
        {u"http://b/"_s, u"B2"_s, 1, 3},       // address and name pick the one of two
        {u"http://b/"_s, u"Renamed"_s, 1, 2},  // else the first with the address
        {u"http://x/"_s, u"X"_s, 1, 0},       {u"http://x/"_s, u"X"_s, -1, 3},  // not a favourite
        {QString(), QString(), 1, 0},         {u"http://a/"_s, u"A"_s, 0, -1},
    };
    for (const auto& [url, name, step, expected] : cases)
        EXPECT_EQ(FavoriteAfter(favorites, url, name, step), expected) << url.toStdString() << " " << step;
    EXPECT_EQ(FavoriteAfter(clsSongArray(), u"http://a/"_s, u"A"_s, 1), -1) << "no favourites";
}

}  // namespace
}  // namespace wavelot
