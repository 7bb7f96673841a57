#include "engine/play_log_export.h"

#include "core/song_array.h"
#include "core/text_file.h"

using namespace Qt::StringLiterals;

namespace wavelot {

QString PlayLogExportFileName(const QDateTime& when) {
    return when.toString(u"yyyyMMdd_HHmmss_"_s) + u"Playlist.txt"_s;
}

bool ExportPlayLog(const clsSongArray& log, const QString& path) {
    TextFileWriter writer;
    if (!writer.CreateTextFile(path))
        return false;
    for (int i = 0; i < log.ListCount(); ++i)
        writer.WriteTextLine(log.File(i));
    return writer.CloseTextFile();
}

QString PlayLogExportMessage(const QString& path) {
    return u"日誌以成功輸出至 "_s + path;
}

}  // namespace wavelot
