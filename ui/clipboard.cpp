#include "ui/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace wavelot {

void SetClipboardText(const QString& text) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    clipboard->clear();
    clipboard->setText(text);
}

}  // namespace wavelot
