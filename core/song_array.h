#pragma once
// The one container for stations: an ordered list of station records addressed by a 0-based
// index. The same class serves the search results, favourites, jobs, play log and the InLive
// scratch list; list views are virtual over it and ask for one field of one row at a time.
//
// Index rules, which callers rely on instead of checking bounds themselves:
// - There is always at least one slot. An empty list keeps slot 0 with reset values (empty
//   texts, zeros); reading or writing slot 0 of an empty list touches that slot, but the list
//   still counts 0 records until AddItem.
// - Reading outside the slots gives the empty text or 0; writing outside them does nothing.
// - Nothing here notifies anybody: whoever shows a list tells its view when the count changes.

#include <QString>

#include <vector>

namespace wavelot {

// One station record. Built with designated initializers, naming only the fields that are not
// empty: StationRow{.file = url, .title = name, .code = kStationCodeBig5}.
struct StationRow {
    QString file;
    QString title;
    int code = 0;
    QString comment;
    int jobMode = 0;
    int jobType = 0;
    QString jobStart;
    QString jobStop;
    int runJob = 0;
    int weekMark = 0;
    QString logo;  // the address of the station's logo image; empty when none is known
    bool operator==(const StationRow&) const = default;
};

// A directory result: the search list shows the bit rate and the listener count in the third and
// fourth columns, which the list keeps in the two job-time fields.
struct SearchRow {
    QString file;
    QString title;
    int code = 0;
    QString comment;
    QString bitRate;
    QString listeners;
    QString logo;
    operator StationRow() const {
        return {.file = file,
                .title = title,
                .code = code,
                .comment = comment,
                .jobStart = bitRate,
                .jobStop = listeners,
                .logo = logo};
    }
};

class clsSongArray {
public:
    // Sort keys of Sort(): what a column or command orders by.
    enum SortKey : int {
        kSortTitle = 0,     // Title, lower case
        kSortComment = 1,   // Comment, lower case
        kSortJobStart = 2,  // JobStart up to its first blank, numbers padded to five digits
        kSortJobStop = 3,   // JobStop, numbers padded to five digits
    };

    clsSongArray();
    ~clsSongArray();
    clsSongArray(const clsSongArray&) = delete;
    clsSongArray& operator=(const clsSongArray&) = delete;

    // Appends the record, then moves it to nIndex when 0 <= nIndex < last index; -1 or any
    // index at or past the end leaves it appended; any other negative index puts it first.
    void AddItem(const StationRow& row, int nIndex = -1);
    // Out-of-range indexes are ignored, except on a one-record list, which any index empties.
    void Remove(int index);
    void Clear();
    int ListCount() const;

    QString File(int nIndex) const;
    QString Title(int nIndex) const;
    int Code(int nIndex) const;
    QString Comment(int nIndex) const;
    int JobMode(int nIndex) const;
    int JobType(int nIndex) const;
    QString JobStart(int nIndex) const;
    QString JobStop(int nIndex) const;
    int RunJob(int nIndex) const;
    int WeekMark(int nIndex) const;
    QString Logo(int nIndex) const;
    // The whole record; an empty row outside the slots.
    StationRow Row(int nIndex) const;
    // What a search row keeps in the job-time fields (see SearchRow).
    QString BitRate(int nIndex) const { return JobStart(nIndex); }
    QString Listeners(int nIndex) const { return JobStop(nIndex); }

    void SetFile(int nIndex, const QString& nValue);
    void SetTitle(int nIndex, const QString& nValue);
    void SetCode(int nIndex, int nValue);
    void SetComment(int nIndex, const QString& nValue);
    void SetJobMode(int nIndex, int nValue);
    void SetJobType(int nIndex, int nValue);
    void SetJobStart(int nIndex, const QString& nValue);
    void SetJobStop(int nIndex, const QString& nValue);
    void SetRunJob(int nIndex, int nValue);
    void SetWeekMark(int nIndex, int nValue);
    void SetLogo(int nIndex, const QString& nValue);

    // Exchanges two whole records; does nothing unless both indexes are slots.
    void SwapItems(int index1, int index2);

    // Shell sort with a remembered last exchange, comparing keys ordinally by UTF-16 code unit.
    // Not stable: equal keys are never exchanged with each other, but may still move apart.
    // A two-record list is sorted too (the plain gap rule would give it gap 0).
    void Sort(bool Ascending, int iSortParam);

    // The key Sort() uses for record nIndex; exposed so views and tests can show the ordering.
    QString SortKeyOf(int nIndex, int iSortParam) const;

private:
    struct Record;
    Record* Slot(int nIndex);
    const Record* Slot(int nIndex) const;

    // Slots 0..u; never empty. Records live behind plain owning pointers so inserting,
    // removing and swapping move one trivially copyable pointer per record (a memmove) instead
    // of ten fields. Only this class creates and deletes them.
    std::vector<Record*> slots_;
    bool empty_ = true;
};

// "00000" number pattern of the sort keys: a numeric text becomes a whole number with at least
// five digits ("128" -> "00128", "-3" -> "-00003", "12.6" -> "00013"); any other text is kept.
QString FormatFiveDigits(const QString& text);

}  // namespace wavelot
