// Paths: the program's own folder, and the Windows-style names that settings
// store ("c:\charproc.log", ".\sumcharge.ini") mapped to Linux paths. The
// stored text always stays as the user wrote it; only opening maps it.
#pragma once
#include <string>

namespace plat {

// Folder of the running executable (from /proc/self/exe), without a
// trailing slash.
std::string ExeDir();
// Full path of the running executable.
std::string ExePath();

// Where a drive root ("c:\") lands: $PALOMIR_DRIVE_ROOT for every letter,
// else $PALOMIR_HOME/drive_<letter>, else $HOME/.palomir/drive_<letter>
// (so two homes never share one). Tests set their own.
void SetDriveRoot(const std::string& dir);
std::string DriveRoot(char letter);

// "c:\a\b.log" -> DriveRoot('c') + "/a/b.log"; ".\x.ini" and "x.ini" stay
// relative to the working directory with slashes; Linux paths pass through.
std::string MapPath(const std::string& stored);

// Makes the folders above a file that is about to be written (a mapped
// drive root on a fresh machine, say). True when they are there; false
// with errno set when they cannot be made.
bool MakeParentFolders(const std::string& path);

}  // namespace plat
