// File operations that the user's files go through: whole-file replacement
// (temporary, fsync, rename, directory fsync), appends and in-place record
// writes, each result checked. A seam lets tests fail any one operation (a
// full disk, a dead device) or stop the process at it (a kill at that very
// instant), and counts what was done.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat::io {

enum class Op { Open, Write, PWrite, Fsync, Fdatasync, Rename, Close, Unlink, Truncate };
const char* OpName(Op op);

// Test seam. Before each operation Before() is asked; returning an errno
// value (ENOSPC, EIO, ...) fails that operation with it, as the system
// would. Only one hook at a time, installed by the test's main thread.
class Hook {
 public:
  virtual ~Hook() = default;
  virtual int Before(Op op, const char* path) = 0;
};
void SetHook(Hook* hook);
Hook* CurrentHook();

// The operations. Each returns what its system call returns (-1 and errno
// on failure); Write and PWrite write everything or fail, and repeat after
// EINTR and short writes.
int Open(const char* path, int flags, mode_t mode = 0666);
bool Write(int fd, const void* data, std::size_t len);
bool PWrite(int fd, const void* data, std::size_t len, off_t offset);
int Fsync(int fd);
int Fdatasync(int fd);
int Close(int fd);
int Rename(const char* from, const char* to);
int Unlink(const char* path);
int Ftruncate(int fd, off_t len);
// fsync of the folder that holds path, so a rename survives a power cut.
bool SyncParentDir(const std::string& path);

// Replaces the whole file: a temporary beside it ("<file>.tmp<pid>_<n>"),
// written, fsynced, renamed over the target, the folder fsynced. The target
// is never truncated first: after a failure or a kill at any instant it
// holds either the old or the new bytes, and a failure removes the
// temporary. A symbolic link is followed (the link stays). Temporaries of
// this file left by processes that no longer run are removed first.
// Returns false (errno set) on any failure.
bool ReplaceFile(const std::string& target, const std::string& data);

// Removes "<file>.tmp<pid>_<n>" beside file whose process has ended.
// Returns how many were removed.
int RemoveStaleTemporaries(const std::string& file);

// True when path names the file own or one of its temporaries
// ("<own>.tmp<pid>_<n>"): the same device and inode where both exist,
// else the same path once resolved (absolute, "." and ".." taken out,
// symbolic links followed, a dangling one too, since a write goes there).
bool IsFileOrTemporaryOf(const std::string& path, const std::string& own);

}  // namespace plat::io
