#pragma once
// What the window tests share: the application object, waits that keep dispatching events,
// answering the modal dialogs and pop-up menus the code under test opens, and screenshots.

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QString>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace wavelot::test {

QApplication& UiApp();

// Dispatches events until pred holds or the time is up; returns pred's last answer.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs);
void Pump(int ms);

// Arms a one-shot watcher: the next modal dialog that opens within timeoutMs is handed to
// act, which must close it (tests use AcceptBox / RejectBox / ButtonByText).
void OnNextModal(std::function<void(QWidget*)> act, int timeoutMs = 5000);
// Clicks the message-box button whose text or role matches (Yes/No/OK).
void ClickBoxButton(QWidget* modal, int standardButton);

// Arms a watcher for the next pop-up menu: it records the captions of every entry (sub-menu
// entries as "parent/child") into *seen, then chooses the entry with that caption (a sub-menu
// entry as "parent/child"), or dismisses the menu when choice is empty.
void OnNextMenu(const QString& choice, QStringList* seen = nullptr, int timeoutMs = 5000);

// Stops every watcher still waiting (a test that expected no dialog or menu leaves them armed).
void CancelWatchers();

// Saves widget->grab() as <build dir>/screenshots/<name>.png and returns the path.
QString SaveShot(QWidget* widget, const QString& name);

}  // namespace wavelot::test
