#pragma once
// Where the tool's own output goes. The adapter writes its mode-93
// diagnostic line to standard output; in a tool whose standard output may
// carry raw audio or JSON lines, that line is sent to standard error instead,
// and the tool writes its results to the real standard output kept here.

#include <cstdio>

namespace quillon {

// Once, at start: keeps the real standard output for ToolOutput and points
// the process's standard output at standard error.
void DivertStandardOutput();

// The real standard output (standard output itself before the diversion).
std::FILE* ToolOutput();

bool StandardErrorIsTerminal();

}  // namespace quillon
