#include "tests/ui/ui_test_util.h"

#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <memory>

namespace wavelot::test {

QApplication& UiApp() {
    static int argc = 1;
    static char name[] = "ui_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* a = new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        return a;
    }();
    return *app;
}

bool WaitUntil(const std::function<bool()>& pred, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

namespace {
// Polls from a timer, so it also runs inside the nested event loop of exec().
void Poll(std::function<bool()> step, int timeoutMs) {
    auto* timer = new QTimer(qApp);
    timer->setObjectName(QStringLiteral("ui_test_watcher"));
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, step, timeoutMs] {
        if (step() || clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(15);
}
}  // namespace

void CancelWatchers() {
    for (QTimer* t :
         qApp->findChildren<QTimer*>(QStringLiteral("ui_test_watcher"), Qt::FindDirectChildrenOnly)) {
        t->stop();
        t->deleteLater();
    }
    QCoreApplication::processEvents();
}

void OnNextModal(std::function<void(QWidget*)> act, int timeoutMs) {
    Poll(
        [act] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible())
                return false;
            act(modal);
            return true;
        },
        timeoutMs);
}

void ClickBoxButton(QWidget* modal, int standardButton) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr)
        return;
    if (QAbstractButton* b = box->button(static_cast<QMessageBox::StandardButton>(standardButton)))
        b->click();
}

namespace {
QAction* FindAction(QMenu* menu, const QString& caption) {
    for (QAction* a : menu->actions())
        if (!a->isSeparator() && a->text() == caption)
            return a;
    return nullptr;
}
}  // namespace

void OnNextMenu(const QString& choice, QStringList* seen, int timeoutMs) {
    Poll(
        [choice, seen] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu == nullptr || !menu->isVisible())
                return false;
            if (seen != nullptr) {
                seen->clear();
                for (QAction* a : menu->actions()) {
                    if (a->isSeparator()) {
                        seen->append(QStringLiteral("-"));
                        continue;
                    }
                    QString text = a->text();
                    if (a->isChecked())
                        text += QStringLiteral(" [x]");
                    seen->append(text);
                    if (a->menu() != nullptr)
                        for (QAction* s : a->menu()->actions())
                            seen->append(a->text() + u'/' +
                                         (s->isSeparator() ? QStringLiteral("-") : s->text()) +
                                         (s->isChecked() ? QStringLiteral(" [x]") : QString()));
                }
            }
            if (choice.isEmpty()) {
                QTest::keyClick(menu, Qt::Key_Escape);
                return true;
            }
            const int slash = choice.indexOf(u'/');
            if (slash < 0) {
                if (QAction* a = FindAction(menu, choice)) {
                    menu->setActiveAction(a);
                    QTest::keyClick(menu, Qt::Key_Return);
                } else {
                    QTest::keyClick(menu, Qt::Key_Escape);
                }
                return true;
            }
            QAction* parent = FindAction(menu, choice.left(slash));
            if (parent == nullptr || parent->menu() == nullptr) {
                QTest::keyClick(menu, Qt::Key_Escape);
                return true;
            }
            QMenu* sub = parent->menu();
            menu->setActiveAction(parent);
            QTest::keyClick(menu, Qt::Key_Right);
            QAction* item = FindAction(sub, choice.mid(slash + 1));
            if (item == nullptr) {
                QTest::keyClick(sub, Qt::Key_Escape);
                QTest::keyClick(menu, Qt::Key_Escape);
                return true;
            }
            sub->setActiveAction(item);
            QTest::keyClick(sub, Qt::Key_Return);
            return true;
        },
        timeoutMs);
}

QString SaveShot(QWidget* widget, const QString& name) {
    const QString dir = QString::fromLocal8Bit(qgetenv("WAVELOT_BUILD_DIR")) + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    const QString path = dir + u'/' + name + QStringLiteral(".png");
    widget->grab().save(path);
    return path;
}

}  // namespace wavelot::test
