// Replacing a user's file whole: the new content goes to a temporary file of its own beside the
// target, and is renamed over the target only when every write, the flush and the close worked.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/file_reading.h"

namespace mirexa {

// One replacement under way. The path given may be a symbolic link (of any chain length): the
// link stays, and its final target is replaced (unless FileLinks::Replace is asked for). The
// temporary file is "<target>.mirexa-XXXXXX" (six random letters and digits) in the final
// target's folder, so the rename never crosses devices; for a target whose name is too long to
// take those 14 bytes more (the folder's longest name, 255 bytes on most file systems), the
// temporary's name starts with as much of the target's name as leaves room for them, so that
// every name the file system takes can be replaced; it is created with O_CREAT | O_EXCL |
// O_NOFOLLOW, so a file or link planted under any name is never opened, written through or
// followed, and two writers of one target never share a file. It stays locked (flock) until the
// rename, and carries the extended attribute "user.mirexa.temporary" (the target's file name) until
// just before it. When the folder is next written, temporary files of any target there that carry
// that mark, that no writer holds and that are older than a few minutes (left by a killed process)
// are removed and each is told to the observer below; a file of a like name without the mark is the
// user's and stays (so does every leftover on a file system without user attributes). Its mode is
// that of a new file (0666 less the umask), or the target's mode when the target is a regular file
// already (the user's permissions stay). A target that exists and is no regular file (a FIFO, a
// device, a socket, a folder, or a link to one) is refused: never renamed over, never written into.
struct FileReplacement {
    std::string target = {};
    std::string temporary = {};
    int descriptor = -1;     // open from Begin until the stream takes it or Finish/Abandon
    std::FILE* stream = {};  // set by OpenFileReplacementStream; it then owns the descriptor
};

// Called with the absolute path of each temporary file that a killed writer left and a
// replacement removed (any thread; it must not replace files itself). Set once at start-up;
// null: nobody is told.
using TemporaryRemovalObserver = void (*)(const std::string& path);
void SetTemporaryRemovalObserver(TemporaryRemovalObserver observer);

// The file a path names after following its symbolic links, when it is one; the path itself
// otherwise. A link relative to its folder is taken from that folder. The last target need not
// exist (a new file is created there).
std::string ResolveFinalTarget(const std::string& path);

// What a replacement does with a target that is a symbolic link: Follow replaces the file the
// link leads to (the user's outputs, settings and controller files: the link stays); Replace
// puts the new file in the link's place (the program's reports of fixed names: a link planted
// under such a name never leads the report into another file).
enum class FileLinks { Follow, Replace };

// Creates the temporary file. Returns 1, or 0 with errno set when no temporary file could be
// made (a missing or unwritable folder, a full file table) or the target is refused (EINVAL for
// a FIFO, device or socket, EISDIR for a folder); nothing is left behind then.
// mode: the permission bits of the new file, or -1 for the rule above.
int BeginFileReplacement(const std::string& target, FileReplacement* replacement, int mode = -1,
                         FileLinks links = FileLinks::Follow);

// A buffered stream over the temporary file, for writers that produce their bytes piecewise;
// the stream's writes go through WriteStream of the write-fault seam like every other write.
// Null when the stream could not be made; the replacement is then abandoned (no file is left).
std::FILE* OpenFileReplacementStream(FileReplacement* replacement);

// Starts the new content with the bytes the target holds now, for a file that is appended to:
// a regular file's bytes are copied into the temporary file (call it before the stream is
// made); a missing target gives nothing. A symbolic link of the target's name is never read
// (errno ELOOP), nor is a FIFO or device (EINVAL). 1, or 0 with errno set and the replacement
// abandoned (no file is left, the target is untouched).
int CopyTargetIntoReplacement(FileReplacement* replacement);

// Writes all the bytes to the descriptor through the write-fault seam, again after EINTR and
// after short writes. 1, or 0 at the first failed write (errno tells why).
int WriteAllBytes(int descriptor, const void* bytes, std::size_t count);

// Completes a replacement whose bytes were all written: flushes (the stream; with sync also to
// the disk), closes and renames the temporary file over the target, all through the write-fault
// seam; a sync or rename that a signal interrupted (EINTR) is made again (a close never is: the
// descriptor is gone either way). Under AbortRule::Honour, when the program's abort request
// (ReadAbortRequested) is raised by then, nothing is renamed (errno EINTR): an aborted run
// replaces none of its outputs. On any failure the temporary file is removed, the target is as
// it was and errno tells why. Returns 1 or 0; the record is spent either way.
int FinishFileReplacement(FileReplacement* replacement, int sync,
                          AbortRule abortRule = AbortRule::Honour);

// Gives a replacement up: closes and removes the temporary file; the target is untouched. Keeps
// errno, so a caller can report the failure that led here. Does nothing for a spent record.
void AbandonFileReplacement(FileReplacement* replacement);

// The whole replacement of a file by the content: Begin, the writes, Finish. 1, or 0 with the
// target as it was and no temporary file left.
int ReplaceFileContents(const std::string& target, std::string_view content, int sync,
                        int mode = -1, FileLinks links = FileLinks::Follow,
                        AbortRule abortRule = AbortRule::Honour);

}  // namespace mirexa
