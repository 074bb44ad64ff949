#include "platform/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace orvanta {
namespace {

// A temporary file left by a write that died is this old at least before it is removed, so
// that a write still running in another process keeps its file.
constexpr std::time_t kStaleTemporarySeconds = 120;

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Removes "<name>.tmpXXXXXX" files beside `path` that no write has touched for a while.
void removeStaleTemporaries(const std::string& path) {
    const std::string folder = folderOf(path);
    const std::string prefix = nameOf(path) + ".tmp";
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.size() != prefix.size() + 6 || !name.starts_with(prefix)) {
            continue;
        }
        struct stat st {};
        const std::string full = (folder == "." ? std::string() : folder) + std::string(name);
        if (::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            now - st.st_mtime >= kStaleTemporarySeconds) {
            ::unlink(full.c_str());
        }
    }
    ::closedir(dir);
}

// Writes `content` to a fresh temporary file beside `path` with permissions `mode` and
// flushes it; `tmpl` receives its name. On failure nothing is left behind.
// The temporary file's name on success.
Result<std::string> writeTemporary(const std::string& path, std::string_view content, mode_t mode) {
    std::string tmpl = path + ".tmpXXXXXX";
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) {
        return fail(std::string("cannot create a temporary file: ") + std::strerror(errno));
    }
    auto abandon = [&](const char* what) {
        std::string why = std::string(what) + ": " + std::strerror(errno);
        ::close(fd);
        ::unlink(tmpl.c_str());
        return fail(std::move(why));
    };
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return abandon("cannot write");
        }
        done += static_cast<size_t>(n);
    }
    // mkstemp creates the file 0600; the caller says what the file is to have.
    if (::fchmod(fd, mode) != 0) {
        return abandon("cannot set the permissions");
    }
    if (::fsync(fd) != 0) {
        return abandon("cannot flush");
    }
    if (::close(fd) != 0) {
        std::string why = std::string("cannot close: ") + std::strerror(errno);
        ::unlink(tmpl.c_str());
        return fail(std::move(why));
    }
    return tmpl;
}

// Writes `content` beside `path` and renames it over `path` (whatever entry is there).
Result<> replaceWith(const std::string& path, std::string_view content, mode_t mode) {
    Result<std::string> temporary = writeTemporary(path, content, mode);
    if (!temporary) {
        return temporary.failure();
    }
    const std::string& tmpl = temporary.value();
    if (::rename(tmpl.c_str(), path.c_str()) != 0) {
        std::string why = std::string("cannot replace the file: ") + std::strerror(errno);
        ::unlink(tmpl.c_str());
        return fail(std::move(why));
    }
    return {};
}

}  // namespace

std::string resolveLinks(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return current;
        }
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) {
            return current;
        }
        target.resize(static_cast<std::size_t>(n));
        current = target.front() == '/' ? target : folderOf(current) + target;
    }
    return current;
}

Result<> writeFileAtomically(const std::string& requested, std::string_view content,
                             mode_t newFileMode) {
    // Renaming over a link would replace the link by a plain file; write where it points.
    const std::string path = resolveLinks(requested);
    removeStaleTemporaries(path);
    // The replaced file's permissions stay (a registry holding passwords may be private).
    mode_t mode = newFileMode;
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    }
    return replaceWith(path, content, mode);
}

std::optional<std::string> foreignFileProblem(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        return std::nullopt;  // missing, or nothing we may look at: the write will say
    }
    if (S_ISLNK(st.st_mode)) {
        return path + ": is a link, which is not followed here";
    }
    if (st.st_uid != ::geteuid()) {
        return path + ": belongs to another user, so it is left alone";
    }
    return std::nullopt;
}

Result<> writeOwnFileAtomically(const std::string& path, std::string_view content, mode_t mode) {
    // A link is replaced, not followed; but anything another user put there (a link or a
    // file) is not ours to replace.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && st.st_uid != ::geteuid()) {
        return fail(path + ": belongs to another user, so it is left alone");
    }
    removeStaleTemporaries(path);
    // mkstemp makes a new file of a name nobody could know in advance (O_EXCL): nothing
    // prepared beside the file is ever written into.
    return replaceWith(path, content, mode);
}

Result<std::string, ReadProblem> readOwnFile(const std::string& path, std::size_t maxBytes) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && (S_ISLNK(st.st_mode) || st.st_uid != ::geteuid())) {
        return fail(ReadProblem::Foreign, *foreignFileProblem(path));
    }
    return readRegularFile(path, maxBytes);
}

Result<void, CopyProblem> copyFileNoReplace(const std::string& from, const std::string& to) {
    Result<std::string, ReadProblem> content = readWholeFile(from);
    if (!content) {
        return fail(CopyProblem::Failed, "cannot read " + from);
    }
    Result<std::string> temporary = writeTemporary(to, content.value(), 0644);
    if (!temporary) {
        return fail(CopyProblem::Failed, temporary.error());
    }
    const std::string& tmpl = temporary.value();
    // link() gives the complete copy its name only if that name is free: it never replaces
    // a file, not even one that appeared after the caller looked.
    const int linked = ::link(tmpl.c_str(), to.c_str());
    const int error = errno;
    ::unlink(tmpl.c_str());
    if (linked != 0) {
        return fail(error == EEXIST ? CopyProblem::Exists : CopyProblem::Failed,
                    std::string("cannot create the file: ") + std::strerror(error));
    }
    return {};
}

Result<std::string, ReadProblem> readRegularFile(const std::string& path, std::size_t maxBytes) {
    auto problem = [&](ReadProblem reason, const char* what) {
        return fail(reason, std::string(what) + ": " + path);
    };
    // Non-blocking open: opening a pipe for reading would otherwise wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return errno == ENOENT ? problem(ReadProblem::Missing, "no such file")
                               : problem(ReadProblem::Failed, "cannot open");
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return problem(ReadProblem::Failed, "cannot read");
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return problem(ReadProblem::NotRegular, "not an ordinary file");
    }
    if (static_cast<std::size_t>(st.st_size) > maxBytes) {
        ::close(fd);
        return problem(ReadProblem::TooLarge, "too large");
    }
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    for (;;) {
        if (done == bytes.size()) {
            // The file may have grown since fstat; read on up to the limit.
            if (bytes.size() > maxBytes) {
                ::close(fd);
                return problem(ReadProblem::TooLarge, "too large");
            }
            bytes.resize(bytes.size() + 4096);
        }
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::close(fd);
            return problem(ReadProblem::Failed, "cannot read");
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (done > maxBytes) {
        return problem(ReadProblem::TooLarge, "too large");
    }
    bytes.resize(done);
    return bytes;
}

Result<std::string, ReadProblem> readWholeFile(const std::string& path) {
    return readRegularFile(path, kMaxWholeFileBytes);
}

}  // namespace orvanta
