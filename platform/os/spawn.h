// Starting other programs: waited for, or detached in a session of their own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Starts the program at `path` (resolved like every program path) with `argv` as its argument
// list (argv[0] included). With `wait` it returns once the program ended, its exit status in
// *exit_code (128 + signal when a signal ended it). Returns 0, or the errno of the failure
// (ENOENT, ENOEXEC, ENOMEM, EACCES, ...).
int spawn_program(std::string_view path, const std::vector<std::string>& argv, bool wait,
                  int* exit_code = nullptr);

// The full path of an executable found on PATH, or empty.
std::string find_in_path(std::string_view name);

// The program that opens a document or web page with its associated program ("xdg-open" from
// PATH), or empty when the system has none. Tests install another; empty restores the default.
void set_shell_open_program(std::string path);
std::string shell_open_program();

} // namespace platform
