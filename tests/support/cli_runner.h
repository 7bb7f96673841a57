#pragma once
// Runs the wavelot-cli built in this build tree and collects what it printed.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace wavelot::test {

struct CliResult {
    int status = -1;  // -1 when the program did not start, crashed or did not finish in time
    QByteArray out;
    QByteArray err;
};

// program: another copy of wavelot-cli (one in a folder of its own keeps the Setting/ folder it
// writes private); the build tree's by default.
CliResult RunCli(const QStringList& args, int timeoutMs = 60000, const QString& program = {});

}  // namespace wavelot::test
