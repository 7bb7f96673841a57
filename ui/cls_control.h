#pragma once
// One input control placed in a host widget and kept at the host's size, with a small
// property and event interface that is the same for every kind of control. The dialogs build
// their inputs with it, so their code reads alike whatever the control is.

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>

#include <QWidget>

class QWidget;
class QComboBox;
class QListWidget;
class QTabBar;

namespace wavelot {

enum class CtrlStyle : int {
    CheckBox = 1,
    PushButton = 2,
    OptionButton = 3,
    Label = 4,
    TextBox = 5,
    DropDownCombo = 6,  // editable
    DropDownList = 7,
    SimpleCombo = 8,
    ListBox = 9,
    ListBoxExtended = 10,
    ListBoxMultiple = 11,
    ListBoxSorted = 12,
    TimePicker = 13,
    TabStrip = 14,
};

// 0 none, 1 raised, 2 thin static edge, 3 sunken, 4 static + sunken + raised.
enum class CtrlBorder : int { None = 0, Raised = 1, Static = 2, Sunken = 3, All = 4 };

class clsControl : public QObject {
    Q_OBJECT
public:
    explicit clsControl(QObject* parent = nullptr);
    ~clsControl() override;

    void SetTargetPictureBox(QWidget* host);
    void BorderStyle(CtrlBorder style) { border_ = style; }
    void SetMultilin(bool on) { multiline_ = on; }
    void SetFontRightLeading(bool on) { rtl_ = on; }
    bool Multilin() const { return multiline_; }
    bool FontRightLeading() const { return rtl_; }

    // Creates the control in the host (once); false without a host or when already created.
    bool Create(CtrlStyle kind);
    QWidget* hWnd() const;
    CtrlStyle Kind() const { return kind_; }
    CtrlBorder Border() const { return border_; }

    bool Checked() const;
    void SetChecked(bool on);
    // Returns the last value set: false until the first set, although a new control is enabled.
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool on);
    bool Visible() const;
    void SetVisible(bool on);
    void SetBackColor(const QColor& c);
    void SetForeColor(const QColor& c);
    QString text() const;
    void setText(const QString& t);

    // Combo and list kinds. BeforeIndex -1 appends, 0.. inserts there, other negatives add
    // nothing and return -1.
    int AddItem(const QString& text, int BeforeIndex = -1, int ItemData = 0);
    int NewIndex() const { return newIndex_; }
    void RemoveItem(int index);
    void Clear();
    QString List(int index) const;
    int ListCount() const;
    int ListIndex() const;
    void SetListIndex(int index);
    int ItemData(int index) const;
    void SetItemData(int index, int value);

    // Time picker.
    QDateTime Time() const;
    void SetTime(const QDateTime& t);

    // Tab strip; TabItem counts from 1, 0 when there is no tab strip or no tab.
    void TabsAdd(int index, const QString& text);
    void TabText(int index, const QString& text);
    int TabItem() const;
    void SetTabItem(int item);

Q_SIGNALS:
    void Click();
    void DblClick();
    void DropDown();
    void Change();
    void RightClick();
    // A text box's keys (Qt::Key values); a handler may set key to 0 to swallow it.
    void KeyDown(int& key, Qt::KeyboardModifiers modifiers);
    void KeyUp(int& key, Qt::KeyboardModifiers modifiers);

protected:
    // The host's resizes, the drop-down list showing, and the control's own keys, focus and clicks.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QComboBox* Combo() const;
    QListWidget* ListBox() const;
    QTabBar* Tabs() const;
    QWidget* MakeControl(CtrlStyle kind);
    QWidget* MakeButton(CtrlStyle kind);
    QWidget* MakeTextBox();
    QWidget* MakeCombo(CtrlStyle kind);
    QWidget* MakeListBox(CtrlStyle kind);
    bool IsCombo() const;
    bool IsList() const;
    void FitToHost();

    QPointer<QWidget> host_;
    QPointer<QWidget> control_;
    QPointer<QWidget> popup_;
    CtrlStyle kind_ = CtrlStyle::CheckBox;
    CtrlBorder border_ = CtrlBorder::None;
    bool multiline_ = false;
    bool rtl_ = false;
    bool enabled_ = false;
    bool created_ = false;
    int newIndex_ = 0;
};

}  // namespace wavelot
