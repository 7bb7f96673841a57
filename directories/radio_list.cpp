#include "directories/radio_list.h"

#include "core/text_file.h"

namespace wavelot {

void AddRadioListLines(const QStringList& lines, clsSongArray& searchList, const RowAdded& onRow) {
    for (const QString& line : lines) {
        const qsizetype tab = line.indexOf(u'\t');
        if (tab < 0)
            continue;
        qsizetype end = line.indexOf(u'\t', tab + 1);
        if (end < 0)
            end = line.size();
        searchList.AddItem({.file = line.mid(tab + 1, end - tab - 1), .title = line.left(tab)});
        if (onRow)
            onRow(searchList.ListCount() - 1);
    }
}

bool LoadRadioList(const QString& path, clsSongArray& searchList, const RowAdded& onRow) {
    QStringList lines;
    if (!ReadTextLines(path, lines))
        return false;
    AddRadioListLines(lines, searchList, onRow);
    return true;
}

}  // namespace wavelot
