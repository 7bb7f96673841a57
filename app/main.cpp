// Start-up of Wavelot. The window steps join here once the main window exists.
#include "core/app_folders.h"

#include <QCoreApplication>
#include <QDir>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(wavelot::ProgramTitle());

  // Relative paths (plug-ins, the encoder) resolve against the program's own folder.
  QDir::setCurrent(QCoreApplication::applicationDirPath());
  wavelot::CreateStationLists();
  wavelot::InitAppFolders();

  wavelot::ReleaseStationLists();
  return 0;
}
