#include "tests/support/cli_runner.h"

#include <QProcess>
#include <QString>

using namespace Qt::StringLiterals;

namespace wavelot::test {

CliResult RunCli(const QStringList& args, int timeoutMs) {
    QProcess p;
    p.start(QString::fromLocal8Bit(qgetenv("WAVELOT_BUILD_DIR")) + u"/app/wavelot-cli"_s, args);
    CliResult r;
    if (!p.waitForFinished(timeoutMs) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.status = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

}  // namespace wavelot::test
