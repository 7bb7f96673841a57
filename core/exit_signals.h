#pragma once
// SIGTERM, SIGINT and SIGHUP (a logout without a session manager, `kill`, a closed terminal)
// become a signal on the main thread: the window ends the program through its exit command on
// it, so the lists are saved as if the user had pressed "離 開", and wavelot-cli ends its run
// in order. The signal handler only writes a byte to a pipe; the main thread reads it.

#include <QObject>

class QSocketNotifier;

namespace wavelot {

class ExitSignals : public QObject {
    Q_OBJECT
public:
    explicit ExitSignals(QObject* parent = nullptr);
    ~ExitSignals() override;
    bool Installed() const { return notifier_ != nullptr; }

Q_SIGNALS:
    void ExitRequested(int signal);

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace wavelot
