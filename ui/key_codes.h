#pragma once
// The windows speak in the classic virtual-key numbers (Enter 13, Up 38, Delete 46, letters
// by their capital ASCII code), so the handlers read the same whatever toolkit sends the key.

#include <Qt>

namespace wavelot {

inline constexpr int VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_ESCAPE = 27, VK_SPACE = 32, VK_PRIOR = 33,
                     VK_NEXT = 34, VK_END = 35, VK_HOME = 36, VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39,
                     VK_DOWN = 40, VK_DELETE = 46;

// Shift 1, Ctrl 2, Alt 4, added together.
int ShiftState(Qt::KeyboardModifiers mods);
int VirtualKey(int qtKey);
// Qt key for a virtual-key number (for tests and for commands that fake a key).
int QtKeyFromVirtual(int vk);
// Mouse buttons as the events number them: left 1, right 2, middle 4.
int ButtonCode(Qt::MouseButton b);

}  // namespace wavelot
