// qvvoice-tool: inspect, convert and render voice, noise and WAV files from the command line.
#include "verbs.h"

#include <array>
#include <cstdio>
#include <string_view>
#include <vector>

namespace qvtool {

std::span<const Verb> verbs() {
    static const std::array table{
        Verb{"info", "FILE", run_info},
        Verb{"describe", "FILE", run_describe},
        Verb{"ready", "FILE OUT.wav", run_ready},
        Verb{"render", "FILE OUT.wav [--key K] [--hold S] [--rate R] [--bits B] [--channels C] [--buffer SEC] [--loop]", run_render},
#ifdef QV_TOOL_GUI
        Verb{"sheet", "[--bitmaps DIR] OUT.png", run_sheet},
        Verb{"logo", "[--scale N] OUT.png", run_logo},
#endif
    };
    return table;
}

} // namespace qvtool

namespace {

void print_usage(std::FILE* out) {
    std::fprintf(out, "usage: qvvoice-tool VERB ARGS...\n");
    for (const qvtool::Verb& verb : qvtool::verbs())
        std::fprintf(out, "  qvvoice-tool %.*s %.*s\n", static_cast<int>(verb.name.size()),
                     verb.name.data(), static_cast<int>(verb.usage.size()), verb.usage.data());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        print_usage(stderr);
        return qvtool::EXIT_USAGE;
    }
    const std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        print_usage(stdout);
        return qvtool::EXIT_OK;
    }
    std::vector<std::string_view> args(argv + 2, argv + argc);
    for (const qvtool::Verb& verb : qvtool::verbs())
        if (verb.name == name)
            return verb.run(args);
    std::fprintf(stderr, "qvvoice-tool: unknown verb '%s'\n", argv[1]);
    print_usage(stderr);
    return qvtool::EXIT_USAGE;
}
