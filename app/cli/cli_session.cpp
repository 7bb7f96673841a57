#include "app/cli/cli_session.h"

#include <QObject>

#include "engine/engine_setup.h"
#include "engine/player.h"

namespace wavelot::cli {

void PrintLine(FILE* to, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), to);
    std::fputc('\n', to);
    std::fflush(to);
}

bool StartPrintingSession(Session& session) {
    if (!session.Start()) {
        PrintLine(stderr, EngineSetupFailedMessage());
        return false;
    }
    session.TakeExitSignals();
    QObject::connect(&session.player(), &Player::logLineAdded,
                     [](const QString& text, bool) { PrintLine(stdout, text); });
    return true;
}

int ExitCode(Session::End end) {
    if (end == Session::End::Ended)
        std::fputs("wavelot-cli: the stream has ended\n", stderr);
    return end == Session::End::Failed ? 1 : 0;
}

}  // namespace wavelot::cli
