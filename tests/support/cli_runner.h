#pragma once
// Runs the wavelot-cli built in this build tree and collects what it printed.
#include <QByteArray>
#include <QStringList>

namespace wavelot::test {

struct CliResult {
    int status = -1;  // -1 when the program did not start, crashed or did not finish in time
    QByteArray out;
    QByteArray err;
};

CliResult RunCli(const QStringList& args, int timeoutMs = 60000);

}  // namespace wavelot::test
