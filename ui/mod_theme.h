#pragma once
// Drawing routines shared by the owner-drawn lists, the command buttons and the status display.

#include <QColor>
#include <QFont>
#include <QString>

class QPainter;

namespace wavelot {

// The face the windows ask for; Linux desktops rarely have it, so UiFontFamily() falls back to
// an installed sans-serif face that covers Traditional Chinese (and Hangul for InLive titles).
inline constexpr char16_t kUiFontFace[] = u"Tahoma";
QString UiFontFamily();
// A font of the given cell height in pixels (Windows-style cell height: the em is ~6/7 of it).
QFont UiFont(int cellHeight, int weight = QFont::Normal);

// Draws text in (x, y, width, height) on one line, vertically centred, elided at the end, placed
// across as horizontal says. Returns the height of the drawn line.
int DrawTextBand(QPainter& dc, const QString& text, int x, int y, int width, int height,
                 Qt::Alignment horizontal);
// A dotted line of the given pen width.
void DrawDottedLine(QPainter& dc, int x1, int y1, int x2, int y2, const QColor& color, int width);

}  // namespace wavelot
