#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace orvanta {

std::string writeFileAtomically(const std::string& path, std::string_view content) {
    std::string tmpl = path + ".tmpXXXXXX";
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
    if (::rename(tmpl.c_str(), path.c_str()) != 0) {
        const std::string why = std::string("cannot replace the file: ") + std::strerror(errno);
        ::unlink(tmpl.c_str());
        return why;
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
