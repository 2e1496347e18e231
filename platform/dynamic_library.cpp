// dynamic_library.cpp - dlopen/dlsym with Windows-style load error numbers.
#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

#if UINTPTR_MAX == 0xFFFFFFFFu
constexpr unsigned char kOwnClass = ELFCLASS32;
#else
constexpr unsigned char kOwnClass = ELFCLASS64;
#endif

#if defined(__x86_64__)
constexpr uint16_t kOwnMachine = EM_X86_64;
#elif defined(__i386__)
constexpr uint16_t kOwnMachine = EM_386;
#elif defined(__aarch64__)
constexpr uint16_t kOwnMachine = EM_AARCH64;
#else
constexpr uint16_t kOwnMachine = EM_NONE;
#endif

// Why a load failed, judged from the file itself: the loader's text is meant
// for people and differs between C libraries.
uint32_t classify_failure(const char *path, const char *loader_text)
{
    if (std::strchr(path, '/') == nullptr) {
        // A bare name is searched along the library path; only the loader knows.
        return loader_text && std::strstr(loader_text, "No such file") ? kLoadErrorNotFound
                                                                       : kLoadErrorOther;
    }
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? kLoadErrorNotFound : kLoadErrorOther;
    unsigned char ident[EI_NIDENT + 4] = {};
    ssize_t got = ::read(fd, ident, sizeof ident);
    ::close(fd);
    if (got < static_cast<ssize_t>(sizeof ident) || std::memcmp(ident, ELFMAG, SELFMAG) != 0 ||
        ident[EI_CLASS] != kOwnClass)
        return kLoadErrorBadFormat;
    // e_type and e_machine follow the identification, in the file's byte order.
    uint16_t machine = ident[EI_DATA] == ELFDATA2MSB
                           ? (ident[EI_NIDENT + 2] << 8) | ident[EI_NIDENT + 3]
                           : (ident[EI_NIDENT + 3] << 8) | ident[EI_NIDENT + 2];
    if (kOwnMachine != EM_NONE && machine != kOwnMachine)
        return kLoadErrorBadFormat;
    return kLoadErrorOther;
}

}  // namespace

void *load_library(const char *path, uint32_t *error)
{
    *error = 0;
    // An empty path names no file: dlopen would hand back the program itself.
    if (path == nullptr || *path == '\0') {
        *error = kLoadErrorNotFound;
        return nullptr;
    }
    void *handle = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle != nullptr)
        return handle;
    const char *text = ::dlerror();
    std::fprintf(stderr, "%s\n", text ? text : path);
    *error = classify_failure(path, text);
    return nullptr;
}

void *library_function(void *library, const char *name)
{
    return library ? ::dlsym(library, name) : nullptr;
}

}  // namespace platform
