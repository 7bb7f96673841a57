#pragma once
// Qt's own texts (the standard buttons of message boxes, the file dialog) in the program's
// language, Traditional Chinese, whatever the desktop's locale: Qt's zh_TW translations from
// its translations folder (Debian: qt6-translations-l10n).

class QCoreApplication;

namespace wavelot {

// Installs them on app; false when they cannot be found (Qt's English texts stay).
bool InstallQtTranslations(QCoreApplication& app);

}  // namespace wavelot
