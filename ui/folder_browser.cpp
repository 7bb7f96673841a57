#include "ui/folder_browser.h"

#include <QDir>
#include <QFileDialog>

#include "core/path_utils.h"

namespace wavelot {

QString BrowseForFolder(QWidget* parent, const QString& prompt) {
    // Qt's own dialog: the same on every desktop, and reachable by keyboard-driven tests.
    QFileDialog dialog(parent, prompt, QDir::homePath());
    dialog.setObjectName(QStringLiteral("FolderBrowser"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return WithBackslash(QDir::toNativeSeparators(dialog.selectedFiles().constFirst()));
}

}  // namespace wavelot
