#include "ui/cls_control.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTimeEdit>

#include "ui/mod_theme.h"

namespace wavelot {

namespace {

void ApplyBorder(QWidget* w, CtrlStyle kind, CtrlBorder border) {
    auto* frame = qobject_cast<QFrame*>(w);
    if (frame == nullptr)
        return;
    if (kind == CtrlStyle::Label) {
        // A label gets the frame but no edge.
        const bool framed = border == CtrlBorder::Raised || border == CtrlBorder::All;
        frame->setFrameStyle(framed ? (QFrame::Box | QFrame::Plain) : QFrame::NoFrame);
        return;
    }
    switch (border) {
    case CtrlBorder::None: frame->setFrameStyle(QFrame::NoFrame); break;
    case CtrlBorder::Raised: frame->setFrameStyle(QFrame::Panel | QFrame::Raised); break;
    case CtrlBorder::Static: frame->setFrameStyle(QFrame::StyledPanel | QFrame::Plain); break;
    case CtrlBorder::Sunken: frame->setFrameStyle(QFrame::Panel | QFrame::Sunken); break;
    case CtrlBorder::All: frame->setFrameStyle(QFrame::WinPanel | QFrame::Sunken); break;
    }
}
}  // namespace

clsControl::clsControl(QObject* parent) : QObject(parent) {}

clsControl::~clsControl() {
    for (QWidget* w : {host_.data(), control_.data(), popup_.data()})
        if (w != nullptr)
            w->removeEventFilter(this);
    delete control_.data();
}

void clsControl::SetTargetPictureBox(QWidget* host) {
    host_ = host;
}

QWidget* clsControl::hWnd() const {
    return control_.data();
}

bool clsControl::IsCombo() const {
    return created_ && (kind_ == CtrlStyle::DropDownCombo || kind_ == CtrlStyle::DropDownList ||
                        kind_ == CtrlStyle::SimpleCombo);
}

bool clsControl::IsList() const {
    return created_ && static_cast<int>(kind_) >= 9 && static_cast<int>(kind_) <= 12;
}

QComboBox* clsControl::Combo() const {
    return IsCombo() ? qobject_cast<QComboBox*>(control_.data()) : nullptr;
}
QListWidget* clsControl::ListBox() const {
    return IsList() ? qobject_cast<QListWidget*>(control_.data()) : nullptr;
}
QTabBar* clsControl::Tabs() const {
    return created_ && kind_ == CtrlStyle::TabStrip ? qobject_cast<QTabBar*>(control_.data()) : nullptr;
}

QWidget* clsControl::MakeButton(CtrlStyle kind) {
    QAbstractButton* b = nullptr;
    if (kind == CtrlStyle::CheckBox) {
        b = new QCheckBox(host_);
    } else if (kind == CtrlStyle::PushButton) {
        b = new QPushButton(host_);
    } else {
        auto* option = new QRadioButton(host_);
        option->setAutoExclusive(false);  // option groups are the owner's business, as on the host form
        b = option;
    }
    connect(b, &QAbstractButton::clicked, this, &clsControl::Click);
    return b;
}

QWidget* clsControl::MakeTextBox() {
    if (multiline_) {
        auto* e = new QPlainTextEdit(host_);
        e->setLineWrapMode(QPlainTextEdit::NoWrap);
        connect(e, &QPlainTextEdit::textChanged, this, &clsControl::Click);
        return e;
    }
    auto* e = new QLineEdit(host_);
    e->setFrame(border_ != CtrlBorder::None);
    connect(e, &QLineEdit::textChanged, this, &clsControl::Click);
    return e;
}

QWidget* clsControl::MakeCombo(CtrlStyle kind) {
    auto* c = new QComboBox(host_);
    c->setEditable(kind != CtrlStyle::DropDownList);
    c->setMaxVisibleItems(12);
    connect(c, &QComboBox::activated, this, &clsControl::Click);
    if (c->isEditable())
        connect(c, &QComboBox::editTextChanged, this, &clsControl::Change);
    return c;
}

QWidget* clsControl::MakeListBox(CtrlStyle kind) {
    auto* l = new QListWidget(host_);
    l->setSelectionMode(kind == CtrlStyle::ListBoxExtended   ? QAbstractItemView::ExtendedSelection
                        : kind == CtrlStyle::ListBoxMultiple ? QAbstractItemView::MultiSelection
                                                             : QAbstractItemView::SingleSelection);
    l->setSortingEnabled(kind == CtrlStyle::ListBoxSorted);
    connect(l, &QListWidget::itemSelectionChanged, this, &clsControl::Click);
    connect(l, &QListWidget::itemDoubleClicked, this, &clsControl::DblClick);
    return l;
}

QWidget* clsControl::MakeControl(CtrlStyle kind) {
    switch (kind) {
    case CtrlStyle::CheckBox:
    case CtrlStyle::PushButton:
    case CtrlStyle::OptionButton: return MakeButton(kind);
    case CtrlStyle::Label: return new QLabel(host_);
    case CtrlStyle::TextBox: return MakeTextBox();
    case CtrlStyle::DropDownCombo:
    case CtrlStyle::DropDownList:
    case CtrlStyle::SimpleCombo: return MakeCombo(kind);
    case CtrlStyle::ListBox:
    case CtrlStyle::ListBoxExtended:
    case CtrlStyle::ListBoxMultiple:
    case CtrlStyle::ListBoxSorted: return MakeListBox(kind);
    case CtrlStyle::TimePicker: {
        auto* t = new QTimeEdit(host_);
        t->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        t->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
        return t;
    }
    case CtrlStyle::TabStrip: {
        auto* t = new QTabBar(host_);
        t->setDrawBase(true);
        t->setExpanding(false);
        connect(t, &QTabBar::currentChanged, this, &clsControl::Click);
        return t;
    }
    }
    return nullptr;
}

bool clsControl::Create(CtrlStyle kind) {
    if (host_.isNull() || created_)
        return false;
    kind_ = kind;
    QWidget* w = MakeControl(kind);
    if (w == nullptr)
        return false;
    control_ = w;
    created_ = true;
    ApplyBorder(w, kind, border_);
    if (rtl_)
        w->setLayoutDirection(Qt::RightToLeft);
    w->setFont(UiFont(14));
    FitToHost();
    w->show();
    host_->installEventFilter(this);
    w->installEventFilter(this);
    if (auto* c = qobject_cast<QComboBox*>(w)) {
        popup_ = c->view()->window();
        popup_->installEventFilter(this);
    }
    return true;
}

void clsControl::FitToHost() {
    if (!control_.isNull() && !host_.isNull())
        control_->setGeometry(host_->contentsRect());
}

bool clsControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == host_.data()) {
        if (event->type() == QEvent::Resize)
            FitToHost();
    } else if (watched == popup_.data()) {
        if (event->type() == QEvent::Show)
            Q_EMIT DropDown();
    } else if (watched == control_.data()) {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            if (kind_ == CtrlStyle::TextBox) {
                auto* ke = static_cast<QKeyEvent*>(event);
                int key = ke->key();
                if (event->type() == QEvent::KeyPress)
                    Q_EMIT KeyDown(key, ke->modifiers());
                else
                    Q_EMIT KeyUp(key, ke->modifiers());
                return key == 0;
            }
            break;
        case QEvent::FocusIn:
            if (kind_ == CtrlStyle::TextBox)
                Q_EMIT Click();
            break;
        case QEvent::FocusOut:
            if (kind_ == CtrlStyle::TextBox)
                Q_EMIT Click();
            else if (IsList())
                Q_EMIT Change();
            break;
        case QEvent::MouseButtonPress:
            if (kind_ == CtrlStyle::TabStrip && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton)
                Q_EMIT RightClick();
            break;
        default: break;
        }
    }
    return false;
}

bool clsControl::Checked() const {
    auto* b = qobject_cast<QAbstractButton*>(control_.data());
    return b != nullptr && b->isChecked();
}

void clsControl::SetChecked(bool on) {
    if (auto* b = qobject_cast<QAbstractButton*>(control_.data())) {
        b->setCheckable(true);
        b->setChecked(on);
    }
}

void clsControl::SetEnabled(bool on) {
    enabled_ = on;
    if (!control_.isNull())
        control_->setEnabled(on);
}

bool clsControl::Visible() const {
    return !host_.isNull() && host_->isVisible();
}
void clsControl::SetVisible(bool on) {
    if (!host_.isNull())
        host_->setVisible(on);
}

void clsControl::SetBackColor(const QColor& c) {
    for (QWidget* w : {host_.data(), control_.data()}) {
        if (w == nullptr)
            continue;
        QPalette p = w->palette();
        p.setColor(QPalette::Window, c);
        p.setColor(QPalette::Base, c);
        w->setPalette(p);
        w->setAutoFillBackground(w == host_.data());
        w->update();
    }
}

void clsControl::SetForeColor(const QColor& c) {
    for (QWidget* w : {host_.data(), control_.data()}) {
        if (w == nullptr)
            continue;
        QPalette p = w->palette();
        p.setColor(QPalette::WindowText, c);
        p.setColor(QPalette::Text, c);
        p.setColor(QPalette::ButtonText, c);
        w->setPalette(p);
        w->update();
    }
}

QString clsControl::text() const {
    QWidget* w = control_.data();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text();
    if (auto* e = qobject_cast<QPlainTextEdit*>(w))
        return e->toPlainText();
    if (kind_ == CtrlStyle::DropDownCombo)
        if (auto* c = Combo())
            return c->currentText();
    return {};
}

void clsControl::setText(const QString& t) {
    QWidget* w = control_.data();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        b->setText(t);
    else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(t);
    else if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(t);
    else if (auto* e = qobject_cast<QPlainTextEdit*>(w))
        e->setPlainText(t);
    else if (kind_ == CtrlStyle::DropDownCombo)
        if (auto* c = Combo())
            c->setEditText(t);
}

int clsControl::AddItem(const QString& text, int BeforeIndex, int ItemData) {
    if (!IsCombo() && !IsList())
        return 0;
    if (BeforeIndex < -1)
        return -1;
    int index = -1;
    if (auto* c = Combo()) {
        index = BeforeIndex == -1 || BeforeIndex > c->count() ? c->count() : BeforeIndex;
        c->insertItem(index, text);
        if (ItemData != 0)
            c->setItemData(index, ItemData);
    } else if (auto* l = ListBox()) {
        auto* item = new QListWidgetItem(text);
        if (ItemData != 0)
            item->setData(Qt::UserRole, ItemData);
        if (l->isSortingEnabled()) {
            l->addItem(item);
            index = l->row(item);
        } else {
            index = BeforeIndex == -1 || BeforeIndex > l->count() ? l->count() : BeforeIndex;
            l->insertItem(index, item);
        }
    }
    newIndex_ = index;
    return index;
}

void clsControl::RemoveItem(int index) {
    if (auto* c = Combo(); c != nullptr && index >= 0 && index < c->count())
        c->removeItem(index);
    else if (auto* l = ListBox(); l != nullptr && index >= 0 && index < l->count())
        delete l->takeItem(index);
}

void clsControl::Clear() {
    if (auto* c = Combo())
        c->clear();
    else if (auto* l = ListBox())
        l->clear();
}

QString clsControl::List(int index) const {
    if (auto* c = Combo(); c != nullptr && index >= 0 && index < c->count())
        return c->itemText(index);
    if (auto* l = ListBox(); l != nullptr && index >= 0 && index < l->count())
        return l->item(index)->text();
    return {};
}

int clsControl::ListCount() const {
    if (auto* c = Combo())
        return c->count();
    if (auto* l = ListBox())
        return l->count();
    return 0;
}

int clsControl::ListIndex() const {
    if (auto* c = Combo())
        return c->currentIndex();
    if (auto* l = ListBox())
        return l->currentRow();
    return 0;
}

void clsControl::SetListIndex(int index) {
    if (auto* c = Combo())
        c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
    else if (auto* l = ListBox())
        l->setCurrentRow(index >= 0 && index < l->count() ? index : -1);
}

int clsControl::ItemData(int index) const {
    if (auto* c = Combo(); c != nullptr && index >= 0 && index < c->count())
        return c->itemData(index).toInt();
    if (auto* l = ListBox(); l != nullptr && index >= 0 && index < l->count())
        return l->item(index)->data(Qt::UserRole).toInt();
    return 0;
}

void clsControl::SetItemData(int index, int value) {
    if (auto* c = Combo(); c != nullptr && index >= 0 && index < c->count())
        c->setItemData(index, value);
    else if (auto* l = ListBox(); l != nullptr && index >= 0 && index < l->count())
        l->item(index)->setData(Qt::UserRole, value);
}

QDateTime clsControl::Time() const {
    if (auto* t = qobject_cast<QTimeEdit*>(control_.data()); t != nullptr && kind_ == CtrlStyle::TimePicker)
        return t->dateTime();
    return {};
}

void clsControl::SetTime(const QDateTime& v) {
    if (auto* t = qobject_cast<QTimeEdit*>(control_.data());
        t != nullptr && kind_ == CtrlStyle::TimePicker && v.isValid())
        t->setDateTime(v);
}

void clsControl::TabsAdd(int index, const QString& text) {
    if (auto* t = Tabs())
        t->insertTab(index < 0 || index > t->count() ? t->count() : index, text);
}

void clsControl::TabText(int index, const QString& text) {
    if (auto* t = Tabs(); t != nullptr && index >= 0 && index < t->count())
        t->setTabText(index, text);
}

int clsControl::TabItem() const {
    auto* t = Tabs();
    return t != nullptr ? t->currentIndex() + 1 : 0;
}

void clsControl::SetTabItem(int item) {
    if (auto* t = Tabs(); t != nullptr && item >= 1 && item <= t->count())
        t->setCurrentIndex(item - 1);
}

}  // namespace wavelot
