#pragma once
// Subcommands of wavelot-cli. A subcommand file defines its runner and registers it with a
// file-scope CommandRegistration; main() looks the first argument up here.

#include <functional>
#include <string>
#include <vector>

namespace wavelot::cli {

// Arguments after the subcommand name, as given (UTF-8 on this platform).
using CommandArgs = std::vector<std::string>;

// Returns the process exit status. Usage errors return kUsageError after printing to stderr.
using CommandRunner = std::function<int(const CommandArgs&)>;

inline constexpr int kUsageError = 2;

struct CommandInfo {
    std::string name;
    std::string usage;  // one line: "decode (--code N | --codepage CP) [--uao FILE] [--units] HEX"
    CommandRunner run;
};

std::vector<CommandInfo>& Commands();

// Prints "usage: wavelot-cli <usage of that command>" to stderr and returns kUsageError.
int UsageError(const std::string& commandName);

struct CommandRegistration {
    CommandRegistration(std::string name, std::string usage, CommandRunner run) {
        Commands().push_back({std::move(name), std::move(usage), std::move(run)});
    }
};

}  // namespace wavelot::cli
