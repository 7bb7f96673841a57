#include <cstdio>
#include <cstring>

#include "ui/application.h"

namespace {

constexpr char kHelp[] =
    "usage: wavelot [--help | --version]\n"
    "\n"
    "Wavelot, the internet-radio player, recorder and scheduler. Started while a Wavelot with the\n"
    "same settings folder runs, it shows that program's window and ends.\n"
    "\n"
    "  --help      print this text and end\n"
    "  --version   print the version and end\n"
    "\n"
    "Qt's own options (-platform, -style, ...) are taken as Qt takes them. Scheduled jobs, recording\n"
    "and the directories without a window: wavelot-cli.\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before the application object exists, so they need no display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Wavelot %s\n", WAVELOT_VERSION);
            return 0;
        }
    }
    return wavelot::RunApplication(argc, argv);
}
