// Runs qvvoice-tool as a child process and captures what it says.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tooltest {

struct ToolResult {
    int status = -1; // exit status, -1 if the tool did not exit normally
    std::string out;
    std::string err;
};

ToolResult run_tool(const std::vector<std::string>& args);

// A fresh empty folder under the system's temporary folder, removed by the destructor.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path path;
};

void write_file(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);

} // namespace tooltest
