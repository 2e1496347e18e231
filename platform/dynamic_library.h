/*
 * dynamic_library.h - loading a shared library by path and finding its
 * functions by name, for the test application.
 *
 * dlopen reports no error number, yet the test application shows one the way
 * Windows would: 2 for a missing file, 193 for a file that is not a library
 * of this process's word size and machine, 126 for anything else (a missing
 * dependency, an unresolved symbol).  The loader's own text goes to standard
 * error so the user still sees why.
 */
#pragma once

#include <cstdint>

namespace platform {

constexpr uint32_t kLoadErrorNotFound = 2;     // the file does not exist
constexpr uint32_t kLoadErrorBadFormat = 193;  // not an ELF library of this word size
constexpr uint32_t kLoadErrorOther = 126;      // anything else

// Loads the library at `path` (resolving every symbol now).  Null on
// failure, with the error number in `*error`; an empty path is a file not
// found.  A library is never unloaded.
void *load_library(const char *path, uint32_t *error);

// Address of the exported function `name`, or null.
void *library_function(void *library, const char *name);

}  // namespace platform
