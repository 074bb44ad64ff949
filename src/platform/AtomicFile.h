#pragma once
// Files the user cares about (the projector registry, message files) are replaced only once
// their new content is completely on disk: written under a temporary name beside the target,
// flushed, then renamed over it. A crash or a full disk leaves the previous file intact.

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Result.h"

namespace orvanta {

// On failure a short description of what failed (the previous file, if any, is untouched).
// The new file keeps the permissions of the file it replaces; a file that did not exist yet
// gets `newFileMode`. A symbolic link is written through: its target is replaced and the link
// stays. Temporary files of earlier writes that died half-way are removed.
Result<> writeFileAtomically(const std::string& path, std::string_view content,
                             mode_t newFileMode = 0644);

// For the files of the program folder, which may be a folder others can write in: the file
// is never written through a link (a link put in its place is replaced by the file), gets
// `mode` whatever the file there had, and a file there that belongs to another user is
// refused (the error text says so), never replaced.
Result<> writeOwnFileAtomically(const std::string& path, std::string_view content,
                                mode_t mode = 0600);
// The check both make: nothing when `path` is missing or an ordinary file of this user.
std::optional<std::string> foreignFileProblem(const std::string& path);

// Copies `from` to `to` only when no file is called `to`: the copy appears complete or not at
// all and never replaces a file. The reason Exists says that `to` was already there.
enum class CopyProblem { Failed, Exists };
Result<void, CopyProblem> copyFileNoReplace(const std::string& from, const std::string& to);

// Why a whole-file read failed.
enum class ReadProblem { Failed, Missing, NotRegular, TooLarge, Foreign };

// Reads a whole ordinary file of at most `maxBytes` bytes. Pipes, devices and directories
// are refused without reading from them, so that none can block or flood the reader.
Result<std::string, ReadProblem> readRegularFile(const std::string& path, std::size_t maxBytes);
// readRegularFile for a file of the program folder (see writeOwnFileAtomically): a link, or a
// file of another user, is refused with ReadProblem::Foreign.
Result<std::string, ReadProblem> readOwnFile(const std::string& path, std::size_t maxBytes);

// readRegularFile with at most kMaxWholeFileBytes.
inline constexpr std::size_t kMaxWholeFileBytes = 16u << 20;
Result<std::string, ReadProblem> readWholeFile(const std::string& path);

// The file a path names after following symbolic links (the path itself when it is none).
std::string resolveLinks(const std::string& path);

}  // namespace orvanta
