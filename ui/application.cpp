#include "ui/application.h"

#include <QApplication>
#include <QMessageBox>
#include <QSessionManager>

#include "core/app_folders.h"
#include "core/exit_signals.h"
#include "engine/engine_setup.h"
#include "text/station_text.h"
#include "ui/app_core.h"
#include "ui/desktop_bus.h"
#include "ui/frm_main.h"
#include "ui/qt_translations.h"

namespace wavelot {

int RunApplication(int argc, char** argv) {
    QApplication app(argc, argv);
    // Hiding to the tray is not an exit: only the exit command ends the event loop.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(ProgramTitle());
    QApplication::setDesktopFileName(QString::fromUtf16(kDesktopEntryName));
    InstallQtTranslations(app);

    InitAppFolders();
    LoadBig5ExtTable(SettingFolder() + QString::fromUtf16(kUaoFileName));

    AppCore core;
    if (!core.StartEngine()) {
        QMessageBox::critical(nullptr, ProgramTitle(), EngineSetupFailedMessage());
        return 1;
    }
    frmMain window(core);
    QObject::connect(&window, &frmMain::ShutdownDone, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();
    window.Form_Load();
    const auto desktop = DesktopBus::OnDesktop(core, window);

    // The end of the desktop session and termination signals save what the exit command saves.
    ExitSignals signals;
    QObject::connect(&signals, &ExitSignals::ExitRequested, &window,
                     [&window](int) { window.RunCommand(frmMain::kCmdExit); });
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.RunCommand(frmMain::kCmdExit); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, [&window] {
        if (!window.ShutDown())
            window.RunCommand(frmMain::kCmdExit);
    });
    return QApplication::exec();
}

}  // namespace wavelot
