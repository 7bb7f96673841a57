#pragma once
// Small text helpers shared by the directory parsers. Every position is checked against the
// text's length, so a truncated or hostile answer can never make a parser read past its end.

#include <QString>
#include <QStringView>

namespace wavelot::scan {

// Removes leading and trailing U+0020 only: the directory formats pad with blanks, and tabs or
// line ends at a field's edge are data the formats do not expect to lose.
QString TrimBlanks(QStringView text);

// True when the text at `pos`, each character taken in lower case, equals `lowerMarker`
// (which must be lower case). False when the marker would run past the end.
bool MatchesLowerAt(QStringView text, qsizetype pos, QStringView lowerMarker);

// First position of `needle` in text[from, limit) (the match must lie wholly before `limit`),
// or -1. `limit` is clamped to the text's length; a negative `from` counts as 0.
qsizetype FindBefore(QStringView text, QStringView needle, qsizetype from, qsizetype limit,
                     Qt::CaseSensitivity cs = Qt::CaseSensitive);

// The marker-and-window rule of the scraped pages: the terminator is looked for at `start`
// and at each of the next `window` positions. Returns the position of the terminator or -1.
qsizetype FindInWindow(QStringView text, qsizetype start, qsizetype window, QStringView terminator);

}  // namespace wavelot::scan
