#include "ScourletCore/platform/Diagnostics.h"

#include <atomic>
#include <cstdio>
#include <mutex>

namespace scourlet {

namespace {
std::atomic<DiagnosticsStream> g_stream{DiagnosticsStream::standardOutput};
std::mutex g_printMutex;
}  // namespace

void printDiagnostic(std::string_view line) {
    std::FILE* out = g_stream.load() == DiagnosticsStream::standardError ? stderr : stdout;
    std::lock_guard lock(g_printMutex);
    std::fwrite(line.data(), 1, line.size(), out);
    std::fputc('\n', out);
    std::fflush(out);
}

void setDiagnosticsStream(DiagnosticsStream stream) { g_stream.store(stream); }

}  // namespace scourlet
