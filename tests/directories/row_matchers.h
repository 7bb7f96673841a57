#pragma once
// Station rows of a clsSongArray as plain values, so tests compare whole rows at once.

#include <QString>

#include <ostream>
#include <vector>

#include "core/song_array.h"

// Failure messages show texts, not code units.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace wavelot::test {

struct Row {
    QString file, title;
    int code = 0;
    QString comment, jobStart, jobStop;
    QString logo = {};

    bool operator==(const Row& o) const {
        return file == o.file && title == o.title && code == o.code && comment == o.comment &&
               jobStart == o.jobStart && jobStop == o.jobStop && logo == o.logo;
    }
};

inline std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << "{" << r.file.toStdString() << " | " << r.title.toStdString() << " | " << r.code << " | "
              << r.comment.toStdString() << " | " << r.jobStart.toStdString() << " | "
              << r.jobStop.toStdString() << " | " << r.logo.toStdString() << "}";
}

// Every row, also checking that the integer fields a directory never sets stayed 0.
inline std::vector<Row> Rows(const clsSongArray& list) {
    std::vector<Row> rows;
    for (int i = 0; i < list.ListCount(); ++i) {
        rows.push_back({list.File(i), list.Title(i), list.Code(i), list.Comment(i), list.JobStart(i),
                        list.JobStop(i), list.Logo(i)});
    }
    return rows;
}

inline bool JobFieldsZero(const clsSongArray& list) {
    for (int i = 0; i < list.ListCount(); ++i) {
        if (list.JobMode(i) || list.JobType(i) || list.RunJob(i) || list.WeekMark(i))
            return false;
    }
    return true;
}

}  // namespace wavelot::test
