#include "ui/application.h"

#include <QApplication>
#include <QMessageBox>
#include <QSessionManager>

#include <cstdio>

#include "core/app_folders.h"
#include "core/single_instance.h"
#include "engine/engine_setup.h"
#include "session/session.h"
#include "text/station_text.h"
#include "ui/desktop_bus.h"
#include "ui/frm_main.h"
#include "ui/frm_option.h"
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
    // A second program on the same folder hands over before anything reads or writes a file.
    SingleInstance instance;
    switch (instance.ClaimFolder(SettingFolder())) {
    case SingleInstance::Claim::First: break;
    case SingleInstance::Claim::HandedOver: return 0;
    case SingleInstance::Claim::NoAnswer:
        std::fprintf(stderr, "wavelot: another Wavelot holds %s but does not answer\n",
                     qUtf8Printable(SettingFolder()));
        return 1;
    }
    LoadBig5ExtTable(SettingFolder() + QString::fromUtf16(kUaoFileName));

    Session session;
    if (!session.Start()) {
        QMessageBox::critical(nullptr, ProgramTitle(), EngineSetupFailedMessage());
        return 1;
    }
    // Loaded hidden, it stays loaded for the whole run; its edits go to the session's options.
    frmOption options(session.settings(), session.Options());
    options.Form_Load();
    frmMain window(session, options);
    QObject::connect(&instance, &SingleInstance::ShowRequested, &window, &frmMain::ShowMainWindow);
    QObject::connect(&window, &frmMain::ShutdownDone, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();
    window.Form_Load();
    const auto desktop = DesktopBus::OnDesktop(session, window);

    // The end of the desktop session and termination signals save what the exit command saves.
    session.TakeExitSignals();
    // The exit command runs its shutdown once; after it, it does nothing.
    const auto exit = [&window] { window.RunCommand(frmMain::kCmdExit); };
    QObject::connect(&session, &Session::exitRequested, &window, exit);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, exit);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &window, exit);
    return QApplication::exec();
}

}  // namespace wavelot
