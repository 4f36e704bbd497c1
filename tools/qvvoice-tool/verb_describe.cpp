// qvvoice-tool describe FILE: the text the sample browser shows for a WAV, voice or noise file.
#include "verbs.h"

#include "voice/audition.h"

#include <cstdio>
#include <string>

namespace qvtool {

int run_describe(Args args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: qvvoice-tool describe FILE\n");
        return EXIT_USAGE;
    }
    const std::string path(args[0]);
    qv::Voice voice;
    const qv::AuditionResult result = qv::prepare_audition(path, false, voice);
    if (!result.described) {
        std::fprintf(stderr, "qvvoice-tool: %s: %s\n", path.c_str(), result.error.c_str());
        return EXIT_FAILED;
    }
    // The browser's lines end in "\r\n"; a terminal wants plain newlines.
    std::string text;
    const std::string& d = result.description;
    for (std::size_t i = 0; i < d.size(); ++i)
        if (!(d[i] == '\r' && i + 1 < d.size() && d[i + 1] == '\n'))
            text.push_back(d[i]);
    std::printf("%s\n", text.c_str());
    return EXIT_OK;
}

} // namespace qvtool
