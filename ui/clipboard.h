#pragma once
// Putting text on the clipboard. Here rather than in core, so that the layers below the windows
// (and the command-line companion) do not load the graphics libraries.

#include <QString>

namespace wavelot {

// Replaces the clipboard's content with the text as Unicode text. Gives up silently when
// there is no QGuiApplication.
void SetClipboardText(const QString& text);

}  // namespace wavelot
