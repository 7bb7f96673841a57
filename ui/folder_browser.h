#pragma once
// The folder browser: a folder chosen by the user, or the empty text when cancelled.

#include <QString>

class QWidget;

namespace wavelot {

QString BrowseForFolder(QWidget* parent, const QString& prompt);

}  // namespace wavelot
