// Child-process runner for the tool tests: no shell, arguments passed as they are.
#include "tool_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace tooltest {

namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvtool-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        ADD_FAILURE() << "cannot make a temporary folder";
    path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void write_file(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

ToolResult run_tool(const std::vector<std::string>& args) {
    TempDir dir;
    const std::filesystem::path out_path = dir.path / "out";
    const std::filesystem::path err_path = dir.path / "err";
    ToolResult result;
    const pid_t pid = fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork failed";
        return result;
    }
    if (pid == 0) {
        if (std::freopen(out_path.c_str(), "wb", stdout) == nullptr ||
            std::freopen(err_path.c_str(), "wb", stderr) == nullptr)
            _exit(127);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(QV_TOOL_PATH));
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(QV_TOOL_PATH, argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    result.out = slurp(out_path);
    result.err = slurp(err_path);
    return result;
}

} // namespace tooltest
