// JSON text for the programs that write or read JSON Lines (the sweep, the unattended runs, the
// outbreak report). Plain C++ for Windows and Linux alike.
#pragma once

#include <string>

// Appends `text` as a JSON string (with its quotes): valid UTF-8 kept, control characters
// as \n, \t, \uXXXX, and every byte that is not part of valid UTF-8 as "\udcXX" (Python's
// surrogateescape), so a reader gets the original bytes back.
void AppendJsonString(std::string* out, const std::string& text);
