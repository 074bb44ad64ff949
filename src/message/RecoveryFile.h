#pragma once
// The recovery file: the Edit page's whole message as it was a few seconds after its last
// change, kept in the program folder so that a run that ends without saving (killed, logged
// out, power lost) loses nothing. It is written atomically and removed when the message is
// saved or discarded or the program ends normally; one left behind means that run did not.
//
// A text file: a header of "key value" lines (owner, process, time, source file, options,
// colors), then the title and the message as runs of one color pair, then "end". Every unit
// and color comes back exactly; a file that does not end in "end" is damaged.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "message/MessageOptions.h"
#include "platform/Result.h"

namespace orvanta {

struct Draft {
    Message message;
    std::string source;  // the message file the text came from; empty when none
    bool characterDisplayMode = false;
    std::string owner;      // the login name of the user whose program wrote it
    std::int64_t pid = 0;   // the process that wrote it
    std::int64_t time = 0;  // last change, milliseconds since 1970-01-01 UTC

    bool operator==(const Draft&) const = default;
};

// "<folder>recovery-<user>.draft": each user of a shared program folder keeps their own.
std::string recoveryPath(const std::string& programFolder, const std::string& user);

std::string composeDraft(const Draft& draft);
// Foreign: a link, or a file of another user, where the draft should be: left alone.
enum class DraftProblem { Missing, Unreadable, Damaged, Foreign };
Result<Draft, DraftProblem> parseDraft(std::string_view bytes);

// The draft file that belongs to this running copy of the program, claimed for as long as the
// object lives: the usual recoveryPath when no other copy runs on the folder for this user,
// else one named after the process (draftPathOfProcess). Two copies never write, or remove,
// each other's draft.
class DraftClaim {
  public:
    static DraftClaim claim(const std::string& programFolder, const std::string& user);
    DraftClaim(DraftClaim&& other) noexcept;
    DraftClaim& operator=(DraftClaim&&) = delete;
    DraftClaim(const DraftClaim&) = delete;
    DraftClaim& operator=(const DraftClaim&) = delete;
    ~DraftClaim();
    const std::string& path() const { return path_; }

  private:
    DraftClaim() = default;
    std::string path_;
    int fd_ = -1;
    bool perProcess_ = false;  // named after this process: its lock file goes with it
};
// "<folder>recovery-<user>-<pid>.draft".
std::string draftPathOfProcess(const std::string& programFolder, const std::string& user,
                               std::int64_t pid);
// The user's drafts that no running copy claims (left by runs that did not end normally),
// newest first; `ownPath` (this copy's claim) among them when a file is there.
std::vector<std::string> abandonedDrafts(const std::string& programFolder, const std::string& user,
                                         const std::string& ownPath);

// Writes the draft atomically, private to the user (it may hold anything the operator typed),
// never through a link and never over another user's file.
Result<> writeDraft(const std::string& path, const Draft& draft);
// Missing: no file (the last run ended normally). Damaged: not a complete recovery file.
// Foreign: a link or another user's file.
Result<Draft, DraftProblem> readDraft(const std::string& path);
// Removes the file; a file that is not there is fine.
Result<> removeDraft(const std::string& path);
// Moves a damaged file aside to "<path>.damaged-<time>" so that it is neither read again nor
// lost; the new name on success.
Result<std::string> setDraftAside(const std::string& path, std::int64_t timeMs);

// ORVANTA_NO_RECOVERY set to anything but empty or "0" turns the recovery file off.
bool recoveryEnabled();

}  // namespace orvanta
