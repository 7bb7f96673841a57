#pragma once
// The program's icon, and the tip of its notification-area icon (a QSystemTrayIcon of the main
// window's, shown only while the window is hidden): at most 127 characters, the program title
// and the song title on a second line while one is known.

#include <QIcon>
#include <QImage>
#include <QString>

namespace wavelot {

inline constexpr int kTrayTipLimit = 127;
// The tip as the icon holds it: cut to 127 UTF-16 units.
QString TrayTipText(const QString& tip);

// The program's icon, drawn once. The installed icons are drawn by the same routine at build
// time; data/icons/wavelot.svg is its scalable twin and must change with it.
QIcon ProgramIcon();
// One size of it (size x size pixels); needs no application object.
QImage ProgramIconImage(int size);

}  // namespace wavelot
