// library_loader.h - loads a built pass-thru library as an application does
// (dlopen, symbols by name).  Each Library is a fresh load: dlclose unloads
// it, so the next load starts from the load-time state.
#pragma once

#include <dlfcn.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "j2534.h"

namespace tenq_test {

class Library {
public:
    explicit Library(const char *path = TENQ_LIB_0404)
    {
        handle_ = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr)
            throw std::runtime_error(std::string("dlopen: ") + ::dlerror());
        Open = bind<decltype(Open)>("PassThruOpen");
        Close = bind<decltype(Close)>("PassThruClose");
        GetLastError = bind<decltype(GetLastError)>("PassThruGetLastError");
        Verify = bind<decltype(Verify)>("VerifyTENQBuild");
    }
    ~Library() { ::dlclose(handle_); }
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;

    template <typename F>
    F bind(const char *name)
    {
        void *sym = ::dlsym(handle_, name);
        if (sym == nullptr)
            throw std::runtime_error(std::string("missing export ") + name);
        return reinterpret_cast<F>(sym);
    }

    std::string last_error()
    {
        char text[80];
        GetLastError(text);
        return text;
    }

    int32_t (*Open)(const void *, uint32_t *) = nullptr;
    int32_t (*Close)(uint32_t) = nullptr;
    int32_t (*GetLastError)(char *) = nullptr;
    int32_t (*Verify)() = nullptr;

private:
    void *handle_ = nullptr;
};

}  // namespace tenq_test
