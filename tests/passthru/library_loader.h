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
        Ioctl = bind<decltype(Ioctl)>("PassThruIoctl");
        ReadMsgs = bind<decltype(ReadMsgs)>("PassThruReadMsgs");
        WriteMsgs = bind<decltype(WriteMsgs)>("PassThruWriteMsgs");
        ReadVersion = bind<decltype(ReadVersion)>("PassThruReadVersion");
        SetProgrammingVoltage =
            bind<decltype(SetProgrammingVoltage)>("PassThruSetProgrammingVoltage");
        GetPointer = bind<decltype(GetPointer)>("PassThruGetPointer");
        Connect = bind<decltype(Connect)>("PassThruConnect");
        Disconnect = bind<decltype(Disconnect)>("PassThruDisconnect");
        StartMsgFilter = bind<decltype(StartMsgFilter)>("PassThruStartMsgFilter");
        StopMsgFilter = bind<decltype(StopMsgFilter)>("PassThruStopMsgFilter");
        StartPeriodicMsg = bind<decltype(StartPeriodicMsg)>("PassThruStartPeriodicMsg");
        StopPeriodicMsg = bind<decltype(StopPeriodicMsg)>("PassThruStopPeriodicMsg");
        UpdatePeriodicMsg = bind<decltype(UpdatePeriodicMsg)>("PassThruUpdatePeriodicMsg");
        SuspendPeriodic = bind<decltype(SuspendPeriodic)>("PassThruSuspendPeriodic");
        ResumePeriodic = bind<decltype(ResumePeriodic)>("PassThruResumePeriodic");
        ReadFile = bind<decltype(ReadFile)>("PassThruReadFile");
        WriteFile = bind<decltype(WriteFile)>("PassThruWriteFile");
        DeleteFile = bind<decltype(DeleteFile)>("PassThruDeleteFile");
        ReadDir = bind<decltype(ReadDir)>("PassThruReadDir");
        UpdateFirmware = bind<decltype(UpdateFirmware)>("PassThruUpdateFirmware");
        ReadMem = bind<decltype(ReadMem)>("PassThruReadMem");
        WriteMem = bind<decltype(WriteMem)>("PassThruWriteMem");
        ReadRTC = bind<decltype(ReadRTC)>("PassThruReadRTC");
        WriteRTC = bind<decltype(WriteRTC)>("PassThruWriteRTC");
        Security = bind<decltype(Security)>("PassThruSecurity");
    }
    ~Library() { ::dlclose(handle_); }
    Library(const Library &) = delete;
    Library &operator=(const Library &) = delete;

    template <typename F> F bind(const char *name)
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
    int32_t (*Ioctl)(uint32_t, uint32_t, void *, void *) = nullptr;
    int32_t (*ReadMsgs)(uint32_t, PASSTHRU_MSG *, uint32_t *, uint32_t) = nullptr;
    int32_t (*WriteMsgs)(uint32_t, PASSTHRU_MSG *, uint32_t *, uint32_t) = nullptr;
    int32_t (*GetPointer)(int32_t) = nullptr;
    // 04.04 variant (DeviceID first).
    int32_t (*ReadVersion)(uint32_t, char *, char *, char *) = nullptr;
    int32_t (*SetProgrammingVoltage)(uint32_t, uint32_t, uint32_t) = nullptr;
    // 04.04 variant.
    int32_t (*Connect)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t *) = nullptr;
    int32_t (*Disconnect)(uint32_t) = nullptr;
    int32_t (*StartMsgFilter)(uint32_t, uint32_t, PASSTHRU_MSG *, PASSTHRU_MSG *, PASSTHRU_MSG *,
                              uint32_t *) = nullptr;
    int32_t (*StopMsgFilter)(uint32_t, uint32_t) = nullptr;
    int32_t (*StartPeriodicMsg)(uint32_t, PASSTHRU_MSG *, uint32_t *, uint32_t) = nullptr;
    int32_t (*StopPeriodicMsg)(uint32_t, uint32_t) = nullptr;
    int32_t (*UpdatePeriodicMsg)(uint32_t, const PASSTHRU_MSG *, uint32_t, uint32_t) = nullptr;
    int32_t (*SuspendPeriodic)(uint32_t) = nullptr;
    int32_t (*ResumePeriodic)(uint32_t) = nullptr;
    // Vendor: SD card, firmware, adapter memory, clock, security.
    int32_t (*ReadFile)(const char *, const char *, uint32_t) = nullptr;
    int32_t (*WriteFile)(const char *, const char *, uint32_t) = nullptr;
    int32_t (*DeleteFile)(const char *, uint32_t) = nullptr;
    int32_t (*ReadDir)(const char *, char *) = nullptr;
    int32_t (*UpdateFirmware)(const uint8_t *, uint32_t) = nullptr;
    int32_t (*ReadMem)(uint32_t, uint32_t, uint8_t *, uint32_t) = nullptr;
    int32_t (*WriteMem)(uint32_t, uint32_t, const uint8_t *, uint32_t) = nullptr;
    int32_t (*ReadRTC)(RTC_DAY_TIME *) = nullptr;
    int32_t (*WriteRTC)(const RTC_DAY_TIME *) = nullptr;
    int32_t (*Security)(uint8_t, const uint8_t *, const uint8_t *, uint8_t *) = nullptr;

  private:
    void *handle_ = nullptr;
};

}  // namespace tenq_test
