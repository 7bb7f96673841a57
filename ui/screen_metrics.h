#pragma once
// The one screen test the windows size themselves by: a 120-dpi ("large fonts") screen, that
// is 12 twips per pixel, picks the larger variant of every size. The dialogs are drawn in twips
// and converted to pixels once.

#include <QRect>

namespace wavelot {

bool LargeFontScreen();
// Height of the single-line inputs of the search row and of the search button.
inline int ControlHeightFor(bool largeFonts) {
    return largeFonts ? 24 : 22;
}
inline int HighestSpectrumBarFor(bool largeFonts) {
    return largeFonts ? 50 : 40;
}
inline int SearchTitleColumnWidthFor(bool largeFonts) {
    return largeFonts ? 355 : 300;
}
inline int JobRowHeightFor(bool largeFonts) {
    return largeFonts ? 85 : 88;
}

inline int TwipsPerPixelFor(bool largeFonts) {
    return largeFonts ? 12 : 15;
}
// A rectangle of a design in twips; in pixels every part is cut down to whole pixels.
struct Twips {
    int left, top, width, height;
    constexpr QRect ToPixels(int twipsPerPixel = 15) const {
        return QRect(left / twipsPerPixel, top / twipsPerPixel, width / twipsPerPixel,
                     height / twipsPerPixel);
    }
};
// The main window's fixed outer size is 10000 x 8880 twips (8080 on a large-fonts screen); its
// client size is that less the title bar and frame a desktop typically draws (16 x 38 pixels).
inline QSize MainClientSizeFor(bool largeFonts) {
    return Twips{0, 0, 10000, largeFonts ? 8080 : 8880}.ToPixels(TwipsPerPixelFor(largeFonts)).size() -
           QSize(16, 38);
}

}  // namespace wavelot
