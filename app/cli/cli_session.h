#pragma once
// What the commands that play share: a line of text printed whole, a session started with the
// exit signals taken and its play log printed as it grows, and the exit code a run ends with.

#include <QString>

#include <cstdio>

#include "session/session.h"

namespace wavelot::cli {

// text and a line break, as UTF-8, flushed at once.
void PrintLine(FILE* to, const QString& text);

// Starts session, takes the exit signals and prints each play-log line on standard output. When
// the audio engine cannot be set up it says so on standard error and gives false.
bool StartPrintingSession(Session& session);

// The exit code of a run that ended so; a stream that ended by itself is said on standard error.
int ExitCode(Session::End end);

}  // namespace wavelot::cli
