// Path resolution: the program's Windows-style paths become real Linux paths.
#pragma once

#include <cstdio>
#include <dirent.h>
#include <string>
#include <string_view>

namespace platform {

// Turns a path as the program writes it into a path on this machine:
// - '\' separates components like '/';
// - "/dev/drive-X" and "X:" (X a drive letter) stand for that drive's root;
// - when the exact path does not exist, each component is matched against its directory's
//   entries ignoring ASCII case (an exact match wins; otherwise the first match in byte order);
// - the first component that matches nothing, and everything after it, is kept as written, so
//   a file about to be created resolves to the place it will take.
std::string resolve_path(std::string_view path);

// The real directory a drive letter stands for (default "/"). Letters are case-insensitive.
void set_drive_root(char drive, std::string root);
std::string drive_root(char drive);

// The directory that holds the running executable (from /proc/self/exe), without a trailing
// slash. Tests may override it; an empty override restores the real one.
std::string program_dir();
void set_program_dir(std::string dir);

// File-system calls that resolve their path first.
FILE* open_file(std::string_view path, const char* mode);
DIR* open_dir(std::string_view path);
int change_dir(std::string_view path);

} // namespace platform
