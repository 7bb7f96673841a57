#include "ui/station_list_rows.h"

#include <QPainter>
#include <QRect>

#include "scheduler/job_time.h"
#include "text/station_text.h"
#include "ui/mod_theme.h"

namespace wavelot {

namespace {

using namespace Qt::Literals::StringLiterals;

const QColor kEvenBack(58, 58, 58);
const QColor kOddBack(51, 51, 51);
const QColor kSelectedFill(75, 75, 75);
const QColor kSelectedBorder(68, 68, 68);
const QColor kDots(102, 102, 102);
const QColor kFavoriteStation(222, 255, 255);
const QColor kComment(255, 255, 156);
const QColor kJobLabel(255, 255, 255);
const QColor kJobStation(255, 255, 255);
const QColor kJobEnabledColor(255, 48, 0);
const QColor kJobDisabledColor(206, 255, 206);
const QColor kJobTime(156, 207, 255);
const QColor kJobDays(255, 207, 99);

const QString kNoComment = u"無說明"_s;
const QString kEveryDay = u"每天"_s;
const QString kEnabled = u"已啟動"_s;
const QString kDisabled = u"未啟動"_s;
const QString kLabels[4] = {u"電台名稱"_s, u"排程時間"_s, u"排程日期"_s, u"電台說明"_s};

StationRowLook BaseLook(int index, bool largeFonts) {
    StationRowLook look;
    look.back = RowBackground(index);
    look.selectedFill = kSelectedFill;
    look.selectedBorder = kSelectedBorder;
    look.dots = kDots;
    look.font = RowFont(largeFonts);
    return look;
}

}  // namespace

QColor RowBackground(int index) {
    return index % 2 == 0 ? kEvenBack : kOddBack;
}

QFont RowFont(bool largeFonts) {
    return UiFont(largeFonts ? 14 : 13);
}

QString StationLineText(const StationRow& row) {
    return u"[ "_s + StationCodeName(row.code) + u" ] "_s + row.title;
}

QString CommentText(const StationRow& row) {
    return row.comment.isEmpty() ? kNoComment : row.comment;
}

QString JobStatusText(const StationRow& row) {
    return u"[ "_s + (row.runJob == kJobEnabled ? kEnabled : kDisabled) + u" ] "_s;
}

QString JobTimeText(const StationRow& row) {
    // What the scheduler does: any mode but record only plays.
    const QString mode = row.jobMode == kJobModeRecord       ? u"錄音"_s
                         : row.jobMode == kJobModeRecordOnly ? u"只錄音"_s
                                                             : u"播放"_s;
    return row.jobStart + u" 開始"_s + mode + u"，"_s + row.jobStop + u" 結束"_s + mode;
}

QString JobDaysText(const StationRow& row, const QLocale& locale) {
    if (row.jobType != kJobTypeWeekly)
        return kEveryDay;
    QStringList days;
    for (int day = 1; day <= 7; ++day)  // Sunday 1 .. Saturday 7; Qt counts Monday 1 .. Sunday 7
        if (row.weekMark & WeekDayBit(day))
            days << locale.dayName(day == 1 ? 7 : day - 1, QLocale::ShortFormat);
    return days.join(u", "_s);
}

StationRowLook FavoriteRowLook(const StationRow& row, int index, bool largeFonts) {
    StationRowLook look = BaseLook(index, largeFonts);
    look.rules = {22};
    look.texts = {{StationLineText(row), kFavoriteStation, 5, -12}, {CommentText(row), kComment, 15, 11}};
    return look;
}

StationRowLook JobRowLook(const StationRow& row, int index, bool largeFonts, const QLocale& locale) {
    StationRowLook look = BaseLook(index, largeFonts);
    look.rules = {22, 45, 66};
    look.column = true;
    const int shifts[4] = {-32, -10, 12, 34};
    const int more = largeFonts ? 1 : 0;
    for (int i = 0; i < 4; ++i)
        look.texts.push_back({kLabels[i], kJobLabel, 8, shifts[i] + more});
    const QColor status = row.runJob == kJobEnabled ? kJobEnabledColor : kJobDisabledColor;
    look.texts.push_back({StationLineText(row), kJobStation, 70, shifts[0]});
    look.texts.push_back({JobStatusText(row), status, 70, shifts[1] + more, 130});
    look.texts.push_back({JobTimeText(row), kJobTime, 130, shifts[1] + more});
    look.texts.push_back({JobDaysText(row, locale), kJobDays, 70, shifts[2] + more});
    look.texts.push_back({CommentText(row), kComment, 70, shifts[3] + more});
    return look;
}

void PaintStationRow(QPainter& painter, const QRect& rowRect, int index, bool selected,
                     const StationRowLook& look) {
    const int w = rowRect.width();
    const int h = rowRect.height();
    if (w <= 0 || h <= 0)
        return;
    QPainter& dc = painter;
    dc.save();
    dc.translate(rowRect.topLeft());
    dc.setClipRect(0, 0, w, h);
    dc.fillRect(0, 0, w, h, kOddBack);
    // Rows after the first begin at their top, so the line between two rows is the lower one's
    // edge; the first row keeps a line above it too.
    const bool filled = selected || index % 2 == 0;
    const int top = filled && index == 0 ? 1 : 0;
    const int height = filled && index == 0 ? h - 2 : h - 1;
    if (selected) {
        dc.fillRect(QRect(1, top, w - 2, height), look.selectedFill);
        dc.setPen(look.selectedBorder);
        dc.drawRect(QRect(1, top, w - 3, height - 1));
    } else {
        dc.fillRect(QRect(1, top, w - 2, height), look.back);
    }
    for (int y : look.rules)
        DrawDottedLine(dc, 10, y, w - 10, y, look.dots, 1);
    if (look.column)
        DrawDottedLine(dc, 63, 5, 62, h - 5, look.dots, 1);
    dc.setFont(look.font);
    for (const RowText& t : look.texts) {
        dc.setPen(t.color);
        const int right = t.right > 0 ? t.right : w - 5;
        DrawTextBand(dc, t.text, t.x, t.shift, right - t.x, h, Qt::AlignLeft);
    }
    dc.restore();
}

}  // namespace wavelot
