// wavelot-cli: the command-line companion of Wavelot over the same libraries.
#include <QCoreApplication>

#include <cstdio>

#include "app/cli/command_registry.h"

namespace wavelot::cli {

std::vector<CommandInfo>& Commands() {
    static std::vector<CommandInfo> commands;
    return commands;
}

static void PrintUsage() {
    std::fputs("usage:\n", stderr);
    for (const auto& c : Commands())
        std::fprintf(stderr, "  wavelot-cli %s\n", c.usage.c_str());
}

int UsageError(const std::string& commandName) {
    for (const auto& c : Commands()) {
        if (c.name == commandName) {
            std::fprintf(stderr, "usage: wavelot-cli %s\n", c.usage.c_str());
            return kUsageError;
        }
    }
    PrintUsage();
    return kUsageError;
}

}  // namespace wavelot::cli

int main(int argc, char** argv) {
    using namespace wavelot::cli;
    // An application object gives the network and audio layers an event loop to wait in.
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        PrintUsage();
        return kUsageError;
    }
    const std::string name = argv[1];
    for (const auto& c : Commands()) {
        if (c.name == name)
            return c.run(CommandArgs(argv + 2, argv + argc));
    }
    PrintUsage();
    return kUsageError;
}
