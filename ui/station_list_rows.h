#pragma once
// How a favourite (45 pixels) and a job (88 pixels) row look: the model of the two views
// answers kRowLookRole with a StationRowLook (texts, where they stand, their colours, the
// dotted lines, the backgrounds and the font), and PaintStationRow draws exactly that. Nothing
// here reads a list or a widget, so the texts are tested without painting.

#include <QColor>
#include <QFont>
#include <QLocale>
#include <QMetaType>
#include <QString>
#include <Qt>
#include <vector>

#include "core/song_array.h"

class QPainter;
class QRect;

namespace wavelot {

inline constexpr int kStationRowLookRole = Qt::UserRole + 1;
inline constexpr int kFavoriteRowHeight = 45;

// One line of text: drawn from x to the row's right edge (or to `right` when it is not 0), on
// one line, vertically centred in a band as high as the row and moved down by `shift`.
struct RowText {
    QString text;
    QColor color;
    int x = 0;
    int shift = 0;
    int right = 0;
    bool operator==(const RowText&) const = default;
};

struct StationRowLook {
    QColor back;          // the row unselected: even and odd rows differ
    QColor selectedFill;  // and selected
    QColor selectedBorder;
    QColor dots;             // the dotted lines
    std::vector<int> rules;  // dotted lines across the row at these heights, 10 pixels in
    bool column = false;     // the job row's dotted line between labels and values
    QFont font;
    std::vector<RowText> texts;
};

// "[ " + encoding name + " ] " + title.
QString StationLineText(const StationRow& row);
// The comment, or "無說明".
QString CommentText(const StationRow& row);
// "[ 已啟動 ] " or "[ 未啟動 ] ".
QString JobStatusText(const StationRow& row);
// "07:00:00 開始錄音，08:00:00 結束錄音".
QString JobTimeText(const StationRow& row);
// The days of a weekly job, Sunday first, by the locale's abbreviated names joined by ", ";
// "每天" for every other job.
QString JobDaysText(const StationRow& row, const QLocale& locale);

// The unselected background of row index, and the lists' font.
QColor RowBackground(int index);
QFont RowFont(bool largeFonts);
// index: the row's index (its parity picks the background). largeFonts: the 120-dpi screen.
StationRowLook FavoriteRowLook(const StationRow& row, int index, bool largeFonts);
StationRowLook JobRowLook(const StationRow& row, int index, bool largeFonts, const QLocale& locale);

// Draws the row into rowRect of the painter.
void PaintStationRow(QPainter& painter, const QRect& rowRect, int index, bool selected,
                     const StationRowLook& look);

}  // namespace wavelot

Q_DECLARE_METATYPE(wavelot::StationRowLook)
