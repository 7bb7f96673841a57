#pragma once
// The notification-area icon: shown only while the main window is hidden, with a tip of at
// most 127 characters (program title, and the song title on a second line while one is
// known). When the desktop offers no tray the icon is never shown and the window minimises
// instead of hiding, so it can always be found again.

#include <QIcon>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>

#include <QSystemTrayIcon>

namespace wavelot {

inline constexpr int kTrayTipLimit = 127;
// The tip as the icon holds it: cut to 127 UTF-16 units.
QString TrayTipText(const QString& tip);

// The program's icon, drawn once. The installed icons are drawn by the same routine at build
// time; data/icons/wavelot.svg is its scalable twin and must change with it.
QIcon ProgramIcon();
// One size of it (size x size pixels); needs no application object.
QImage ProgramIconImage(int size);

class TrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    // Creates the icon holder (nothing is shown yet).
    void Create(const QString& tip);
    bool Exists() const { return !icon_.isNull(); }
    static bool Available();

    void SetTip(const QString& tip);
    QString Tip() const { return tip_; }
    // False when there is no tray to show it in.
    bool Add();
    void Remove();
    bool Shown() const;
    QSystemTrayIcon* Icon() const { return icon_.data(); }

Q_SIGNALS:
    void LeftClicked();
    void RightClicked();

private:
    QPointer<QSystemTrayIcon> icon_;
    QString tip_;
};

}  // namespace wavelot
