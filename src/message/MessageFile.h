#pragma once
// Message files (".ovx") and the import of plain text files (".txt").
//
// A message file is a rich text document whose paragraphs are, in order: OPTNUM=10, TITLE=11,
// MSG=12, ten option lines (the header bytes of a save encoding as hexadecimal digits), the
// title, then the message with its colors. Older files with eleven option lines, or with a
// "STYLE" line instead of "ST", are read as well.

#include <cstddef>
#include <string>
#include <string_view>

#include "message/MessageOptions.h"
#include "message/Payload.h"
#include "platform/Result.h"
#include "text/Prompt.h"

namespace orvanta {

// Files larger than this are not message files (the largest real ones are a few hundred kB;
// reading one costs some thirty times its size in memory).
inline constexpr std::size_t kMaxMessageFileBytes = 2u << 20;
// A text file is imported from its first bytes only.
inline constexpr std::size_t kTextImportBytes = 4096;

// The ending by which a name is a text file to import: ".txt", compared with exact case, so
// "NOTE.TXT" is taken for a message file (and then refused as not in the format).
bool isTextFileName(std::string_view path);
// The ending a saved message file must have: ".ovx", exact case.
bool hasMessageFileEnding(std::string_view path);
// The name the save dialog proposes for the current file name: a ".txt" ending is removed.
std::string proposedSaveName(std::string_view currentName);

// ---------------------------------------------------------------------------------------------
// Writing

// Option paragraphs 0..12, each line ended by LF. `header` comes from encodeMessage with purpose
// save; with `extendedOptions` the style line starts with the ten alarm digits (bytes 16..20).
std::string messageFileOptionText(const MessageHeader& header, bool extendedOptions);

// The complete file content (RTF) for `message` with option lines from `header`.
std::string composeMessageFile(const Message& message, const MessageHeader& header,
                               bool extendedOptions);

enum class SaveProblem { TitleTooLong, WriteFailed };

// Writes `message` to `path`. A title longer than titleLimit is refused with
// Text::TitleTooLongCharacters and nothing is written. The file is replaced only once the new
// content is completely on disk, so a failed write (told to the operator with the error icon)
// leaves the previous file as it was.
Result<void, SaveProblem> saveMessageFile(const std::string& path, const Message& message,
                                          const MessageHeader& header,
                                          const ProjectorCapabilities& capabilities,
                                          Prompt& prompt);

// ---------------------------------------------------------------------------------------------
// Reading

// Why a file gave no message. The error text is what the operator is told:
// Text::FileFormatNotSupported for a file whose content is not a message, texts of their own
// for a file that cannot be read, is no file or is too large.
enum class MessageFileProblem {
    Unreadable,     // cannot be opened or read
    NotRegular,     // a folder, pipe or device rather than a file
    TooLarge,       // larger than kMaxMessageFileBytes
    NotRichText,    // the RTF reader refused it
    TooFewLines,    // fewer than 15 paragraphs
    WrongLayout,    // OPTNUM / TITLE / MSG values outside the accepted forms
    BadOptionLine,  // an option paragraph that is empty or does not end in two hex digits
};
using MessageFileResult = Result<Message, MessageFileProblem>;

// The message of a message file's bytes: `base` with the file's title, text, options (the
// alarm options only with `extendedOptions`), icon and background color.
// NUL characters are dropped from title and message: nothing after one would survive a read
// back. A character size other than 0 or 1 reads as 1 (any other value shows double size).
MessageFileResult parseMessageFile(std::string_view bytes, bool extendedOptions, Message base = {});

// Imports the bytes of a text file as the message text: UTF-16 little-endian when they start
// with the byte order mark FF FE; otherwise UTF-8 when they are valid UTF-8, else Windows-1252
// byte by byte. Only the first kTextImportBytes count. Line ends become paragraph ends, tabs
// become four spaces, the text is white on color 8, the title is emptied and characterSize
// becomes 0; every other option is kept.
void importTextFile(std::string_view bytes, Message& message);

// Reads `path` by its ending (see isTextFileName) into `base` without telling the operator
// anything (commands/MessageFileCommands.h has the editor's open, which does).
MessageFileResult readMessageFile(const std::string& path, bool extendedOptions, Message base = {});
// The two halves of readMessageFile, for callers that read a file once and make messages of
// it for several projectors: the bytes that count (the first ones of a text file), then the
// message of those bytes.
Result<std::string, MessageFileProblem> readMessageFileBytes(const std::string& path);
MessageFileResult messageFromFileBytes(const std::string& path, std::string_view bytes,
                                       bool extendedOptions, Message base = {});

}  // namespace orvanta
