#pragma once
// Drawing routines shared by the owner-drawn lists, the command buttons and the status display.
// Colours are QColor; a "memory DC" is a QImage the caller paints on and then blits.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <optional>

#include "core/rounding.h"

class QPainter;
class QWidget;

namespace wavelot {

// The face the windows ask for; Linux desktops rarely have it, so UiFontFamily() falls back to
// an installed sans-serif face that covers Traditional Chinese (and Hangul for InLive titles).
inline constexpr char16_t kUiFontFace[] = u"Tahoma";
QString UiFontFamily();
// A font of the given cell height in pixels (Windows-style cell height: the em is ~6/7 of it).
QFont UiFont(int cellHeight, int weight = QFont::Normal);

// Off-screen surface; nullopt when it cannot be allocated, and callers then draw nothing.
std::optional<QImage> CreateMemoryDC(int width, int height);
// Sets a font of that face (falling back as above) and cell height on the painter; returns it.
QFont SelectFontFace(QPainter& dc, const QString& face, int height);
void SetControlFont(QWidget* window, const QString& face, int height);

// Draws text in (x, y, width, height) on one line, vertically centred, elided at the end, placed
// across as horizontal says. Returns the height of the drawn line.
int DrawTextBand(QPainter& dc, const QString& text, int x, int y, int width, int height,
                 Qt::Alignment horizontal);

// Per channel (alpha * a + (255 - alpha) * b) / 255, rounded half to even.
QColor BlendColor(const QColor& a, const QColor& b, int alpha);
// One-pixel frame in color, filled with BlendColor(color, white, alpha).
void FillFramedRect(QPainter& dc, int left, int top, int width, int height, const QColor& color, int alpha);
void DrawDottedLine(QPainter& dc, int x1, int y1, int x2, int y2, const QColor& color, int width);

}  // namespace wavelot
