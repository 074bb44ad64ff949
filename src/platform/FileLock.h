#pragma once
// An exclusive lock that every process of ours takes before it changes a shared file: the
// desktop program and any number of command-line runs may write the registry at the same
// time, and each read-modify-write must see the result of the one before it.
//
// The lock is flock on a lock file beside the shared one; the kernel lets it go when the
// process dies, so a killed writer never leaves the file locked.

#include <chrono>
#include <string>

#include "platform/Result.h"

namespace orvanta {

// Why a lock could not be had: another process held it all the time, or the lock file could
// not be opened (the error text then says why).
enum class LockProblem { Busy, Unopenable };

class FileLock {
  public:
    // Waits up to `patience` for the lock on `path` + ".lock" (created 0600 when missing).
    static Result<FileLock, LockProblem> acquire(const std::string& path,
                                                 std::chrono::milliseconds patience);

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
