// Write-aside-then-rename: a failed save (disk full, read-only folder, write error) must never
// cost the user the file they already had.
#include "voice/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

namespace {

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string name_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void set_error(std::string* error, const char* what, int code) {
    if (error)
        *error = std::string(what) + ": " + std::strerror(code);
}

// O_EXCL with a fresh name each try, so two saves never share a temporary file. Opening with
// 0666 lets the kernel apply the user's umask.
int create_temporary(const std::string& path, std::string& temporary, std::string* error) {
    static std::atomic<unsigned> counter{0};
    const std::string stem = folder_of(path) + "/." + name_of(path) + ".tmp-" +
                             std::to_string(static_cast<long>(::getpid())) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = stem + std::to_string(counter.fetch_add(1));
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return fd;
        if (errno != EEXIST) {
            set_error(error, "cannot create a file in the folder", errno);
            return -1;
        }
    }
    set_error(error, "cannot create a file in the folder", EEXIST);
    return -1;
}

bool sync_folder(const std::string& folder, std::string* error) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        set_error(error, "cannot open the folder", errno);
        return false;
    }
    // Some file systems cannot sync a folder at all; that is no reason to fail the save.
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
    if (!ok)
        set_error(error, "cannot flush the folder", errno);
    ::close(fd);
    return ok;
}

// Writes, flushes and closes; false with the reason when any of it fails.
bool fill_temporary(int fd, const std::string& path,
                    const std::function<bool(std::FILE*)>& write, std::string* error) {
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        (void)::fchmod(fd, existing.st_mode & 07777);
    std::FILE* file = ::fdopen(fd, "wb");
    if (!file) {
        set_error(error, "cannot open the file", errno);
        ::close(fd);
        return false;
    }
    errno = 0;
    bool ok = write(file);
    if (!ok)
        set_error(error, "cannot write the file", errno ? errno : EIO);
    if (ok && (std::fflush(file) != 0 || std::ferror(file))) {
        set_error(error, "cannot write the file", errno ? errno : EIO);
        ok = false;
    }
    if (ok && ::fsync(::fileno(file)) != 0) {
        set_error(error, "cannot flush the file", errno);
        ok = false;
    }
    if (std::fclose(file) != 0 && ok) {
        set_error(error, "cannot close the file", errno);
        ok = false;
    }
    return ok;
}

// A symbolic link is followed, so that the renamed file replaces what it points to rather
// than the link itself.
std::string resolve_link(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
        return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return path;
    std::string target(resolved);
    std::free(resolved);
    return target;
}

} // namespace

bool write_file_atomically(const std::string& requested_path,
                           const std::function<bool(std::FILE*)>& write, std::string* error) {
    const std::string path = resolve_link(requested_path);
    std::string temporary;
    const int fd = create_temporary(path, temporary, error);
    if (fd < 0)
        return false;
    if (!fill_temporary(fd, path, write, error)) {
        ::unlink(temporary.c_str());
        return false;
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        set_error(error, "cannot replace the file", errno);
        ::unlink(temporary.c_str());
        return false;
    }
    return sync_folder(folder_of(path), error);
}

} // namespace qv
