// The verbs of qvvoice-tool. Each takes the arguments after the verb and returns the exit
// status: 0 success, 1 a file that cannot be read or written, 2 a usage error.
#pragma once

#include <span>
#include <string_view>

namespace qvtool {

using Args = std::span<const std::string_view>;

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

struct Verb {
    std::string_view name;
    std::string_view usage; // argument synopsis shown by --help
    int (*run)(Args args);
};

int run_info(Args args);
int run_describe(Args args);
int run_ready(Args args);
int run_render(Args args);
int run_sheet(Args args); // built with the GUI only
int run_logo(Args args);  // built with the GUI only

// Every verb the tool knows, in the order --help lists them.
std::span<const Verb> verbs();

} // namespace qvtool
