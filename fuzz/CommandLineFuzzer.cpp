// The command line as any bytes, split into arguments at NUL bytes, and the single-instance
// channel's effect request as the same bytes: parsing must never fail in any other way than a
// usage error, and what it accepts must be what the rules allow.

#include <cstdlib>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "InstanceRequest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> arguments;
    for (std::size_t start = 0; !bytes.empty() && start <= bytes.size();) {
        const std::size_t end = std::min(bytes.find('\0', start), bytes.size());
        arguments.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    const zavreo::CommandLine line = zavreo::ParseCommandLine(arguments);
    using Action = zavreo::CommandLine::Action;
    switch (line.action) {
        case Action::kRun:
            // Only an empty command line starts the program.
            if (!arguments.empty()) {
                std::abort();
            }
            break;
        case Action::kEffect:
            if (line.effect < 1 || line.effect > 9) {
                std::abort();
            }
            break;
        case Action::kUsageError:
            // One short line, without control characters that would reach the terminal.
            if (line.error.empty() || line.error.size() > 300) {
                std::abort();
            }
            for (const char c : line.error) {
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                    std::abort();
                }
            }
            break;
        case Action::kHelp:
        case Action::kVersion:
            break;
    }

    // The running copy's reading of the same bytes as a request line: an effect only for the very
    // line that asks for it.
    if (const int number = zavreo::RequestedEffect(bytes)) {
        if (number < 1 || number > 9 || zavreo::EffectRequestLine(number) != bytes) {
            std::abort();
        }
    }
    return 0;
}
