#include <iostream>
#include <string>
#include <vector>

#include "ScourletCore/platform/Diagnostics.h"
#include "cli/CleanCommand.h"

int main(int argc, char** argv) {
    // Standard output carries cleaned text; the core's warnings must not mix into it.
    scourlet::setDiagnosticsStream(scourlet::DiagnosticsStream::standardError);
    std::ios::sync_with_stdio(false);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const scourlet::cli::CleanCommand command(scourlet::cli::CleanCommand::Environment::standard());
    const int status = command.execute(args, std::cin, std::cout, std::cerr);
    std::cout.flush();
    return status;
}
