// The file layer: every file and folder operation of the store, the editor and the
// conversions goes through FileSystem, so tests can hand in one that fails on cue.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/api.h"
#include "platform/bytes.h"
#include "platform/error.h"

namespace kelvo {

// The platform's folder separator, written "\" in the original texts.
inline constexpr char kPathSeparator = '/';

// `folder` ending in one separator ("" becomes the root).
std::string WithTrailingSeparator(std::string folder);
// `folder` without the separators it ends in, the root excepted.
std::string WithoutTrailingSeparators(std::string folder);
// The folder part of `path`, with its trailing separator; "" when it has none.
std::string FolderOf(const std::string& path);

class KELVO_API InputFile {
  public:
    virtual ~InputFile() = default;
    virtual std::int64_t Length() = 0;
    // Reads up to `size` bytes; returns how many were read (0 at the end).
    virtual std::size_t Read(std::uint8_t* out, std::size_t size) = 0;
};

// Fills `out` with `size` bytes from `read`, a source that returns how many bytes it gave
// (0 at its end); false when the source ends first.
template <typename Read>
bool ReadExactly(Read&& read, std::uint8_t* out, std::size_t size) {
    for (std::size_t got = 0; got < size;) {
        const std::size_t n = read(out + got, size - got);
        if (n == 0) return false;
        got += n;
    }
    return true;
}

class KELVO_API OutputFile {
  public:
    virtual ~OutputFile() = default;
    virtual void Write(const std::uint8_t* data, std::size_t size) = 0;
    // Flushes and syncs; a full disk or failed write throws here at the latest.
    virtual void Close() = 0;
};

// A file being written that only this process can reach: made anew, never through a link
// or a name someone else chose, mode 0600, and read back through the same descriptor.
class KELVO_API TempFile : public OutputFile {
  public:
    // Its name; "" for a scratch file, which has none.
    virtual const std::string& Name() const = 0;
    virtual std::int64_t Length() = 0;
    // The bytes written so far, from the start. REQUIRES: used while this file is open.
    virtual std::unique_ptr<InputFile> ReadBack() = 0;
    // Closes it, gives it the usual permissions (0666 less the umask) and renames it to
    // `path` in the same folder. Throws, leaving `path` as it was, when its own name no
    // longer leads to this file or when `path` is a symbolic link or not a regular file.
    virtual void MoveTo(const std::string& path) = 0;
};

enum class DirKind { Files, Folders };

class KELVO_API FileSystem {
  public:
    virtual ~FileSystem() = default;

    virtual bool FileExists(const std::string& path) = 0;    // a regular file
    virtual bool FolderExists(const std::string& path) = 0;  // a directory (trailing "/" allowed)

    // The first name (without its folder) that matches `pattern`, a folder followed by a
    // name with `*` and `?` wildcards; only files or only folders. "" when nothing matches.
    // Names are returned in sorted order, so the choice is stable.
    virtual std::string Dir(const std::string& pattern, DirKind kind = DirKind::Files) = 0;

    virtual void DeleteFile(const std::string& path) = 0;    // throws when it cannot be deleted
    virtual void CreateFolder(const std::string& path) = 0;  // one level
    virtual std::int64_t FileLength(const std::string& path) = 0;
    // Replaces `to` by `from` in one step (same folder).
    virtual void Rename(const std::string& from, const std::string& to) = 0;

    virtual std::unique_ptr<InputFile> OpenRead(const std::string& path) = 0;
    // OpenRead for a file that must be a regular file itself: a symbolic link, a folder, a
    // device or a pipe is refused with an error saying which.
    virtual std::unique_ptr<InputFile> OpenRegularFile(const std::string& path) = 0;
    // Creates or truncates.
    virtual std::unique_ptr<OutputFile> OpenWrite(const std::string& path) = 0;

    // The temporary folder (TMPDIR or /tmp), with a trailing separator.
    virtual std::string TempFolder() = 0;
    // Creates an empty file, mode 0600, with a unique name "<folder><prefix>XXXXXX.tmp" and
    // returns its name.
    virtual std::string CreateTempFile(const std::string& folder, const std::string& prefix) = 0;
    // A new file "<folder><prefix>XXXXXX.tmp", removed when dropped unless moved into place.
    // The first time a folder and prefix are used, this process removes the files of that
    // pattern an earlier run left behind: this user's, older than this run, held by nobody.
    virtual std::unique_ptr<TempFile> OpenTempFile(const std::string& folder,
                                                   const std::string& prefix) = 0;
    // A nameless file in the temporary folder: nobody can open it and nothing of it is left
    // when the process dies.
    virtual std::unique_ptr<TempFile> OpenScratchFile() = 0;

    // Whole-file helpers built on the operations above.
    Bytes ReadAll(const std::string& path);
    void WriteAll(const std::string& path, const Bytes& bytes);
};

// The real file system.
KELVO_API FileSystem& LocalFileSystem();

// The folder that stands for the component's application folder (App.Path). Settable by
// the host; defaults to the user's data folder for the application
// ($XDG_DATA_HOME/kelvophotos, else ~/.local/share/kelvophotos). No trailing separator.
KELVO_API std::string AppPath();
KELVO_API void SetAppPath(const std::string& folder);

}  // namespace kelvo
