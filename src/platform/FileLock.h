#pragma once
// An exclusive lock that every process of ours takes before it changes a shared file: the
// desktop program and any number of command-line runs may write the registry at the same
// time, and each read-modify-write must see the result of the one before it.
//
// The lock is flock on a lock file beside the shared one; the kernel lets it go when the
// process dies, so a killed writer never leaves the file locked.

#include <chrono>
#include <optional>
#include <string>

namespace orvanta {

class FileLock {
  public:
    // Waits up to `patience` for the lock on `path` + ".lock" (created 0600 when missing).
    // Nothing when it cannot be had in that time (`openError` 0) or the lock file cannot be
    // opened (`openError` the errno of the open).
    static std::optional<FileLock> acquire(const std::string& path,
                                           std::chrono::milliseconds patience,
                                           int* openError = nullptr);

    FileLock(FileLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

  private:
    explicit FileLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace orvanta
