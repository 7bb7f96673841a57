#pragma once
// The program's context menus: one menu with at most one sub-menu, alive from MenuBegin to
// MenuEnd. Only one exists at a time; every caller builds it for one click and destroys it.

#include <QString>

class QMenu;
class QWidget;

namespace wavelot {

inline constexpr int MF_STRING = 0;
inline constexpr int MF_GRAYED = 1;
inline constexpr int MF_SEPARATOR = 2048;
inline constexpr int MF_CHECKED = 8;

void MenuBegin();
// Appends to the menu (flags MF_STRING or MF_SEPARATOR, optionally | MF_CHECKED or | MF_GRAYED,
// shown but not chosen).
void MenuAddItem(const QString& text, int flags, int id);
// Creates the sub-menu (once) and appends it as an entry with that caption.
void MenuAddSubmenu(const QString& text);
void MenuAddSubItem(const QString& text, int flags, int id);
// Radio mark on sub-menu position `check`, cleared from the other positions first..last.
void MenuCheckRadio(int first, int last, int check);
// Bold default entry: by position when byPosition, else by id.
void MenuSetDefault(int item, bool byPosition);
// Shows the menu at the mouse, waits (events keep being dispatched) and returns the chosen
// entry's id, 0 when dismissed or when there is no menu.
int MenuShow(QWidget* owner);
void MenuEnd();

// The open menu, for code that must look at it while it is shown (tests, accessibility).
QMenu* CurrentMenu();

}  // namespace wavelot
