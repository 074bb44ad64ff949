#pragma once
// Files the user cares about (the projector registry, message files) are replaced only once
// their new content is completely on disk: written under a temporary name beside the target,
// flushed, then renamed over it. A crash or a full disk leaves the previous file intact.

#include <string>
#include <string_view>

namespace orvanta {

// Returns an empty string on success, else a short description of what failed
// (the previous file, if any, is untouched in that case).
std::string writeFileAtomically(const std::string& path, std::string_view content);

// Copies `from` to `to` only when no file is called `to`: the copy appears complete or not at
// all and never replaces a file. "" on success, else what failed; `existed` (if given) tells
// whether `to` was already there.
std::string copyFileNoReplace(const std::string& from, const std::string& to,
                              bool* existed = nullptr);

// Reads a whole file; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& content);

}  // namespace orvanta
