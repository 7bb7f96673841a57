#include "core/song_array.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace wavelot {
namespace {

using namespace Qt::Literals::StringLiterals;

void AddTitled(clsSongArray& list, const QString& title, int nIndex = -1) {
    list.AddItem({.file = u"http://"_s + title, .title = title}, nIndex);
}

QStringList Titles(const clsSongArray& list) {
    QStringList out;
    for (int i = 0; i < list.ListCount(); ++i)
        out << list.Title(i);
    return out;
}

clsSongArray::SortKey Key(int k) {
    return static_cast<clsSongArray::SortKey>(k);
}

TEST(SongArray, NewListIsEmptyAndReadsResetSlot) {
    clsSongArray list;
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(list.Title(0), QString());
    EXPECT_EQ(list.Code(0), 0);
    EXPECT_EQ(list.File(-1), QString());
}

TEST(SongArray, AllTenFieldsStoredAndSetIndependently) {
    clsSongArray list;
    list.AddItem({.file = u"f"_s,
                  .title = u"t"_s,
                  .code = 3,
                  .comment = u"c"_s,
                  .jobMode = 1,
                  .jobType = 2,
                  .jobStart = u"07:00:00"_s,
                  .jobStop = u"08:00:00"_s,
                  .runJob = 1,
                  .weekMark = 130});
    ASSERT_EQ(list.ListCount(), 1);
    EXPECT_EQ(list.File(0), u"f"_s);
    EXPECT_EQ(list.Title(0), u"t"_s);
    EXPECT_EQ(list.Code(0), 3);
    EXPECT_EQ(list.Comment(0), u"c"_s);
    EXPECT_EQ(list.JobMode(0), 1);
    EXPECT_EQ(list.JobType(0), 2);
    EXPECT_EQ(list.JobStart(0), u"07:00:00"_s);
    EXPECT_EQ(list.JobStop(0), u"08:00:00"_s);
    EXPECT_EQ(list.RunJob(0), 1);
    EXPECT_EQ(list.WeekMark(0), 130);

    list.SetFile(0, u"F"_s);
    list.SetTitle(0, u"T"_s);
    list.SetCode(0, 4);
    list.SetComment(0, u"C"_s);
    list.SetJobMode(0, 0);
    list.SetJobType(0, 1);
    list.SetJobStart(0, u"s"_s);
    list.SetJobStop(0, u"e"_s);
    list.SetRunJob(0, 0);
    list.SetWeekMark(0, 2);
    EXPECT_EQ(list.File(0), u"F"_s);
    EXPECT_EQ(list.Title(0), u"T"_s);
    EXPECT_EQ(list.Code(0), 4);
    EXPECT_EQ(list.Comment(0), u"C"_s);
    EXPECT_EQ(list.JobMode(0), 0);
    EXPECT_EQ(list.JobType(0), 1);
    EXPECT_EQ(list.JobStart(0), u"s"_s);
    EXPECT_EQ(list.JobStop(0), u"e"_s);
    EXPECT_EQ(list.RunJob(0), 0);
    EXPECT_EQ(list.WeekMark(0), 2);
}

TEST(SongArray, InsertPositions) {
    clsSongArray list;
    for (const auto& t : {u"a"_s, u"b"_s, u"c"_s})
        AddTitled(list, t);

    AddTitled(list, u"first"_s, 0);
    EXPECT_EQ(Titles(list), (QStringList{u"first"_s, u"a"_s, u"b"_s, u"c"_s}));
    EXPECT_EQ(list.File(1), u"http://a"_s);  // the whole record moved, not just the title

    AddTitled(list, u"mid"_s, 2);
    EXPECT_EQ(Titles(list), (QStringList{u"first"_s, u"a"_s, u"mid"_s, u"b"_s, u"c"_s}));

    AddTitled(list, u"far"_s, 50);
    EXPECT_EQ(list.Title(5), u"far"_s);

    // Equal to the new last index: stays appended.
    AddTitled(list, u"edge"_s, 6);
    EXPECT_EQ(list.Title(6), u"edge"_s);

    // Negative other than -1 goes first.
    AddTitled(list, u"neg"_s, -7);
    EXPECT_EQ(list.Title(0), u"neg"_s);
    EXPECT_EQ(list.ListCount(), 8);
}

TEST(SongArray, InsertAtFiveOnThreeAppends) {
    clsSongArray list;
    for (const auto& t : {u"a"_s, u"b"_s, u"c"_s})
        AddTitled(list, t);
    AddTitled(list, u"d"_s, 5);
    EXPECT_EQ(Titles(list), (QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s}));
}

TEST(SongArray, RemoveRules) {
    clsSongArray list;
    for (const auto& t : {u"a"_s, u"b"_s, u"c"_s})
        AddTitled(list, t);
    list.Remove(7);
    list.Remove(-1);
    list.Remove(3);
    EXPECT_EQ(Titles(list), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    list.Remove(1);
    EXPECT_EQ(Titles(list), (QStringList{u"a"_s, u"c"_s}));
    EXPECT_EQ(list.File(1), u"http://c"_s);
    list.Remove(0);
    EXPECT_EQ(Titles(list), (QStringList{u"c"_s}));

    // One record: any index empties the list and resets slot 0.
    list.SetCode(0, 9);
    list.Remove(42);
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(list.Title(0), QString());
    EXPECT_EQ(list.Code(0), 0);

    // And the empty list takes a new record in slot 0 again.
    AddTitled(list, u"x"_s);
    EXPECT_EQ(Titles(list), (QStringList{u"x"_s}));
}

TEST(SongArray, OutOfRangeAccessIsHarmless) {
    clsSongArray list;
    for (const auto& t : {u"a"_s, u"b"_s, u"c"_s})
        AddTitled(list, t);
    EXPECT_EQ(list.Title(10), QString());
    EXPECT_EQ(list.WeekMark(10), 0);
    list.SetTitle(10, u"z"_s);
    list.SetCode(-1, 5);
    EXPECT_EQ(Titles(list), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    list.SwapItems(0, 3);
    list.SwapItems(-1, 1);
    EXPECT_EQ(Titles(list), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    list.SwapItems(0, 2);
    EXPECT_EQ(Titles(list), (QStringList{u"c"_s, u"b"_s, u"a"_s}));
    EXPECT_EQ(list.File(0), u"http://c"_s);
}

TEST(SongArray, EmptyListSlotZeroIsWritableButUncounted) {
    clsSongArray list;
    list.SetTitle(0, u"ghost"_s);
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(list.Title(0), u"ghost"_s);
    AddTitled(list, u"real"_s);
    EXPECT_EQ(list.ListCount(), 1);
    EXPECT_EQ(list.Title(0), u"real"_s);
    list.Clear();
    EXPECT_EQ(list.ListCount(), 0);
    EXPECT_EQ(list.Title(0), QString());
}

TEST(SongArray, SortByTitleIgnoresCase) {
    clsSongArray list;
    for (const auto& t : {u"b"_s, u"A"_s, u"c"_s})
        AddTitled(list, t);
    list.Sort(true, clsSongArray::kSortTitle);
    EXPECT_EQ(Titles(list), (QStringList{u"A"_s, u"b"_s, u"c"_s}));
    EXPECT_EQ(list.File(0), u"http://A"_s);
    list.Sort(false, clsSongArray::kSortTitle);
    EXPECT_EQ(Titles(list), (QStringList{u"c"_s, u"b"_s, u"A"_s}));
}

TEST(SongArray, SortByBitRateIsNumeric) {
    clsSongArray list;
    const QStringList rates{u"128 kbps"_s, u"未知"_s, u"64 kbps"_s, u"320 kbps"_s, u"96"_s};
    for (const QString& r : rates)
        list.AddItem({.file = u"http://x"_s, .title = r, .jobStart = r});
    list.Sort(true, clsSongArray::kSortJobStart);
    QStringList got;
    for (int i = 0; i < list.ListCount(); ++i)
        got << list.JobStart(i);
    EXPECT_EQ(got, (QStringList{u"64 kbps"_s, u"96"_s, u"128 kbps"_s, u"320 kbps"_s, u"未知"_s}));
    EXPECT_EQ(list.SortKeyOf(0, clsSongArray::kSortJobStart), u"00064"_s);
}

TEST(SongArray, SortByListenersAndComment) {
    clsSongArray list;
    const QStringList counts{u"1,200"_s, u"15"_s, u"n/a"_s, u"300"_s};
    const QStringList comments{u"Jazz"_s, u"ambient"_s, u"Rock"_s, u"blues"_s};
    for (int i = 0; i < counts.size(); ++i)
        list.AddItem(
            {.file = u"http://x"_s, .title = counts[i], .comment = comments[i], .jobStop = counts[i]});
    list.Sort(false, clsSongArray::kSortJobStop);
    EXPECT_EQ(Titles(list), (QStringList{u"n/a"_s, u"1,200"_s, u"300"_s, u"15"_s}));
    list.Sort(true, clsSongArray::kSortComment);
    QStringList got;
    for (int i = 0; i < list.ListCount(); ++i)
        got << list.Comment(i);
    EXPECT_EQ(got, (QStringList{u"ambient"_s, u"blues"_s, u"Jazz"_s, u"Rock"_s}));
}

TEST(SongArray, SortSmallLists) {
    clsSongArray one;
    AddTitled(one, u"z"_s);
    one.Sort(true, clsSongArray::kSortTitle);
    EXPECT_EQ(Titles(one), QStringList{u"z"_s});

    clsSongArray two;
    AddTitled(two, u"z"_s);
    AddTitled(two, u"a"_s);
    two.Sort(true, clsSongArray::kSortTitle);
    EXPECT_EQ(Titles(two), (QStringList{u"a"_s, u"z"_s}));
    two.Sort(false, clsSongArray::kSortTitle);
    EXPECT_EQ(Titles(two), (QStringList{u"z"_s, u"a"_s}));

    clsSongArray empty;
    empty.Sort(true, clsSongArray::kSortTitle);
    EXPECT_EQ(empty.ListCount(), 0);
}

// Larger lists in scrambled orders: the result must be ordered and a permutation of the input,
// for every key and both directions.
TEST(SongArray, SortOrdersEveryKeyOnLargerLists) {
    for (int n : {3, 4, 7, 64, 257}) {
        for (int key = 0; key <= 3; ++key) {
            for (bool asc : {true, false}) {
                clsSongArray list;
                for (int i = 0; i < n; ++i) {
                    const int v = (i * 7919 + 13) % 1000;
                    const QString s = QString::number(v);
                    list.AddItem({.file = u"http://"_s + QString::number(i),
                                  .title = u"T"_s + s,
                                  .code = i,
                                  .comment = u"c"_s + s,
                                  .jobStart = s + u" kbps"_s,
                                  .jobStop = s});
                }
                list.Sort(asc, key);
                std::vector<int> seen(static_cast<size_t>(n), 0);
                for (int i = 0; i < n; ++i)
                    ++seen[static_cast<size_t>(list.Code(i))];
                for (int c : seen)
                    ASSERT_EQ(c, 1) << "records lost or duplicated";
                for (int i = 0; i + 1 < n; ++i) {
                    const QString a = list.SortKeyOf(i, Key(key)), b = list.SortKeyOf(i + 1, Key(key));
                    ASSERT_TRUE(asc ? a <= b : a >= b) << "n=" << n << " key=" << key << " at " << i;
                    // The record's fields travelled together.
                    ASSERT_EQ(list.File(i), u"http://"_s + QString::number(list.Code(i)));
                }
            }
        }
    }
}

TEST(SongArray, FiveDigitPattern) {
    struct Case {
        QString in, out;
    } cases[] = {
        {u"128"_s, u"00128"_s},      {u"0"_s, u"00000"_s},
        {u"123456"_s, u"123456"_s},  {u"-3"_s, u"-00003"_s},
        {u" 42 "_s, u"00042"_s},     {u"12.6"_s, u"00013"_s},
        {u"99999.5"_s, u"100000"_s}, {u"1,234"_s, u"01234"_s},
        {u"未知"_s, u"未知"_s},      {u""_s, u""_s},
        {u"12a"_s, u"12a"_s},        {u"-"_s, u"-"_s},
        {u"1,,2"_s, u"1,,2"_s},      {u"-0"_s, u"00000"_s},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatFiveDigits(c.in), c.out) << c.in.toStdString();
}

}  // namespace
}  // namespace wavelot
