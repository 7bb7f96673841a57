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

// The main window's fixed outer size in twips, and the client size in pixels it gives once the
// title bar and frame a desktop typically draws (16 x 38 pixels) are taken off.
inline constexpr int kMainWidthTwips = 10000;
inline int MainHeightTwipsFor(bool largeFonts) {
    return largeFonts ? 8080 : 8880;
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
inline constexpr int kFrameWidth = 16;
inline constexpr int kFrameHeight = 38;
inline int MainClientWidthFor(bool largeFonts) {
    return kMainWidthTwips / TwipsPerPixelFor(largeFonts) - kFrameWidth;
}
inline int MainClientHeightFor(bool largeFonts) {
    return MainHeightTwipsFor(largeFonts) / TwipsPerPixelFor(largeFonts) - kFrameHeight;
}

}  // namespace wavelot
