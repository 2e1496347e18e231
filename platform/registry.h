/*
 * registry.h - HKEY_LOCAL_MACHINE as a tree of folders.
 *
 * A key is a directory under $ORVANE_ROOT/etc/passthru/registry; its values
 * live in the directory's `values.conf`, one value a line in the syntax of
 * registry export files:
 *     Name="Orvane-FD"            text, with \\ and \" escapes
 *     CAN=dword:00000001          32-bit number
 *     Blob=hex(3):01,02,ff        any other type T as hex bytes
 * Lines starting with '#' or ';' and blank lines are ignored (and kept when
 * the file is rewritten); a value name may be quoted like a text.  Key and
 * value names compare without regard to case; sub-keys enumerate in a
 * stable sorted order.  Writes go to a temporary file renamed into place,
 * one writer of a key at a time, also across processes.  A values.conf that
 * is not a plain file, or is larger than 1 MiB, makes its key one that
 * cannot be read (5); a folder whose name holds a backslash is no key.
 *
 * Key paths separate their names with '\\' only.  A name that is empty,
 * "." or "..", or holds a '/', would leave or alias the tree and is refused
 * with 87.
 *
 * The functions return Windows' error numbers, because callers show them.
 */
#pragma once

#include <cstdint>

namespace platform {

struct RegKey;
using HKEY = RegKey *;

// The predefined root key; never closed.
extern HKEY const HKEY_LOCAL_MACHINE;

constexpr uint32_t KEY_READ = 0x20019;
constexpr uint32_t KEY_WRITE = 0x20006;
constexpr uint32_t KEY_ALL_ACCESS = 0xF003F;

constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_EXPAND_SZ = 2;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;
constexpr uint32_t REG_MULTI_SZ = 7;

constexpr int32_t ERROR_SUCCESS = 0;
constexpr int32_t ERROR_FILE_NOT_FOUND = 2;
constexpr int32_t ERROR_ACCESS_DENIED = 5;
constexpr int32_t ERROR_INVALID_HANDLE = 6;
constexpr int32_t ERROR_INVALID_PARAMETER = 87;
constexpr int32_t ERROR_MORE_DATA = 234;
constexpr int32_t ERROR_NO_MORE_ITEMS = 259;

constexpr uint32_t REG_CREATED_NEW_KEY = 1;
constexpr uint32_t REG_OPENED_EXISTING_KEY = 2;

// Open an existing sub-key ("A\\B"; null or "" opens `parent` again).  2 when
// missing.  Values can be set or deleted only through a handle opened with
// KEY_WRITE or KEY_ALL_ACCESS (5 otherwise), as on Windows.
int32_t reg_open_key(HKEY parent, const char *sub_key, uint32_t access, HKEY *result);

// Open or create a sub-key and its parents, with all access.  `disposition`
// may be null.
int32_t reg_create_key(HKEY parent, const char *sub_key, HKEY *result, uint32_t *disposition);

// Name of the sub-key at `index` in sorted order.  `name_len`: in, the
// buffer size in characters including the terminator; out, the name's length
// without it (also with 234).  259 past the end, 234 when the buffer is too
// small.
int32_t reg_enum_key(HKEY key, uint32_t index, char *name, uint32_t *name_len);

// Read a value.  `type` and `data` may be null; `data_len`: in, the buffer
// size; out, the value's size (text includes its terminator).  234 when the
// buffer is too small (the size is still returned), 2 when missing.
int32_t reg_query_value(HKEY key, const char *value_name, uint32_t *type, uint8_t *data,
                        uint32_t *data_len);

// Write a value (REG_SZ data should include its terminator).  Data that the
// text form cannot give back byte for byte is stored as hex.  87 when the
// key's values would no longer fit in 1 MiB.
int32_t reg_set_value(HKEY key, const char *value_name, uint32_t type, const uint8_t *data,
                      uint32_t data_len);

int32_t reg_delete_value(HKEY key, const char *value_name);

int32_t reg_close_key(HKEY key);

}  // namespace platform
