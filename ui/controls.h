#pragma once
// The dialogs' inputs are plain Qt widgets placed at a rectangle of their parent in the windows'
// 14-pixel face; the few settings every dialog gives a kind of input are made here once.

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QRect>
#include <QString>
#include <QTabBar>
#include <QTimeEdit>

#include <type_traits>

#include "ui/mod_theme.h"

namespace wavelot {

template <class W>
W* PlaceInput(QWidget* parent, const QRect& at, const QString& text = {}) {
    auto* w = new W(parent);
    w->setGeometry(at);
    w->setFont(UiFont(14));
    if constexpr (requires { w->setText(text); })
        if (!text.isEmpty())
            w->setText(text);
    if constexpr (std::is_same_v<W, QRadioButton>)
        w->setAutoExclusive(false);  // the owner keeps one option of a group chosen
    if constexpr (std::is_same_v<W, QComboBox>)
        w->setMaxVisibleItems(12);
    if constexpr (std::is_same_v<W, QTimeEdit>) {
        w->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        w->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    }
    if constexpr (std::is_same_v<W, QTabBar>) {
        w->setDrawBase(true);
        w->setExpanding(false);
    }
    w->show();  // a parent already shown does not show children made later
    return w;
}

// An input's back colour, filled under its frame's corners too.
inline void SetBackColor(QWidget* w, const QColor& back, bool base = true) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, back);
    if (base)
        p.setColor(QPalette::Base, back);
    w->setPalette(p);
    w->setAutoFillBackground(true);
    w->update();
}

}  // namespace wavelot
