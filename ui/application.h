#pragma once
// The program's start-up routine: folders, the five lists, the Big5 extension table, the main
// window and its load; then the event loop until the exit command has run its shutdown. A start
// while a program runs on the same settings folder shows that program's window instead and
// returns 0 (SingleInstance).

namespace wavelot {

// Folders beside the executable (or under the user data folder when that is not writable).
int RunApplication(int argc, char** argv);

}  // namespace wavelot
