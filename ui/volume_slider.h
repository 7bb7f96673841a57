#pragma once
// The volume slider: a track and a knob, dragged with the left button. Its arithmetic works in
// the slider's own scale units (15 per pixel), so the knob lands where it always has.

#include <QWidget>

namespace wavelot {

namespace volume_slider {
inline constexpr int kUnitsPerPixel = 15;
// Left edge of the knob for a volume, in units, for a slider `width` units wide.
double KnobLeft(int width, int volume);
// Volume for a mouse position x (units): clamped to 70 .. width - 160, rounded half to even.
int VolumeAt(int x, int width);
}  // namespace volume_slider

class VolumeSlider : public QWidget {
    Q_OBJECT
public:
    explicit VolumeSlider(QWidget* parent = nullptr);
    // Places the knob for a volume without emitting anything.
    void SetVolume(int volume);
    int Volume() const { return volume_; }
    int KnobLeftPixels() const;

Q_SIGNALS:
    void VolumeDragged(int volume);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    void DragTo(int xPixels);
    int volume_ = 0;
    double knobLeftUnits_ = 0;
};

}  // namespace wavelot
