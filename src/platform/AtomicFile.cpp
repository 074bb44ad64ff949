#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace orvanta {

namespace {

// Writes `content` to a fresh temporary file beside `path` and flushes it; `tmpl` receives
// its name. On failure nothing is left behind.
std::string writeTemporary(const std::string& path, std::string_view content, std::string& tmpl) {
    tmpl = path + ".tmpXXXXXX";
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) {
        return std::string("cannot create a temporary file: ") + std::strerror(errno);
    }
    auto fail = [&](const char* what) {
        std::string why = std::string(what) + ": " + std::strerror(errno);
        ::close(fd);
        ::unlink(tmpl.c_str());
        return why;
    };
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail("cannot write");
        }
        done += static_cast<size_t>(n);
    }
    // mkstemp creates the file 0600; a registry or message file is an ordinary user file.
    ::fchmod(fd, 0644);
    if (::fsync(fd) != 0) {
        return fail("cannot flush");
    }
    if (::close(fd) != 0) {
        const std::string why = std::string("cannot close: ") + std::strerror(errno);
        ::unlink(tmpl.c_str());
        return why;
    }
    return {};
}

}  // namespace

std::string writeFileAtomically(const std::string& path, std::string_view content) {
    std::string tmpl;
    if (std::string why = writeTemporary(path, content, tmpl); !why.empty()) {
        return why;
    }
    if (::rename(tmpl.c_str(), path.c_str()) != 0) {
        const std::string why = std::string("cannot replace the file: ") + std::strerror(errno);
        ::unlink(tmpl.c_str());
        return why;
    }
    return {};
}

std::string copyFileNoReplace(const std::string& from, const std::string& to, bool* existed) {
    if (existed != nullptr) {
        *existed = false;
    }
    std::string content;
    if (!readWholeFile(from, content)) {
        return std::string("cannot read ") + from;
    }
    std::string tmpl;
    if (std::string why = writeTemporary(to, content, tmpl); !why.empty()) {
        return why;
    }
    // link() gives the complete copy its name only if that name is free: it never replaces
    // a file, not even one that appeared after the caller looked.
    const int linked = ::link(tmpl.c_str(), to.c_str());
    const int error = errno;
    ::unlink(tmpl.c_str());
    if (linked != 0) {
        if (error == EEXIST && existed != nullptr) {
            *existed = true;
        }
        return std::string("cannot create the file: ") + std::strerror(error);
    }
    return {};
}

bool readWholeFile(const std::string& path, std::string& content) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    if (in.bad()) {
        return false;
    }
    content = std::move(ss).str();
    return true;
}

}  // namespace orvanta
