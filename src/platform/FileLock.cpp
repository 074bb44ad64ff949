#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace orvanta {

Result<FileLock, LockProblem> FileLock::acquire(const std::string& path,
                                                std::chrono::milliseconds patience) {
    const std::string lockPath = path + ".lock";
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return fail(LockProblem::Unopenable, lockPath + ": " + std::strerror(errno));
    }
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return FileLock(fd);
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) ||
            std::chrono::steady_clock::now() >= deadline) {
            ::close(fd);
            return fail(LockProblem::Busy, lockPath + ": held by another process");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

FileLock::~FileLock() {
    if (fd_ >= 0) {
        ::close(fd_);  // closing the last descriptor releases the lock
    }
}

}  // namespace orvanta
