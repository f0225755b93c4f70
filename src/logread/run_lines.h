// The reader's inner steps: one whole line into the run being read, and the runs' edges.
#pragma once

#include "logread/log_text.h"
#include "logread/logread.h"

// One line, without its line end (CR LF or LF), at most kLogLineSize bytes of it.
void TakeLine(LogReader* reader, TextSpan line);
// Hands the open run (if any) to the sink and closes it.
void EndRun(LogReader* reader);
