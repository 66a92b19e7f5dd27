// The few diagnostic lines the core prints ("Warning: ...").
//
// They go to standard output by default. A program whose standard output is a
// protocol channel (the browser native host) switches them to standard error
// once at start.
//
//   printDiagnostic("Warning: Could not load bundled rules");
#pragma once

#include <string_view>

namespace scourlet {

enum class DiagnosticsStream { standardOutput, standardError };

// Prints `line` and a line break to the chosen stream. Thread-safe.
void printDiagnostic(std::string_view line);

// Chooses the stream for every later diagnostic line.
void setDiagnosticsStream(DiagnosticsStream stream);

}  // namespace scourlet
