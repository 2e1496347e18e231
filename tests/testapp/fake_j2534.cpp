// fake_j2534.cpp - the recording J2534 library (see fake_j2534.h).
#include "tests/testapp/fake_j2534.h"

#include <cstring>

namespace {

FakeJ2534 &fake()
{
    static FakeJ2534 instance;
    return instance;
}

FakeCall &record(const char *function, std::vector<uint32_t> args)
{
    FakeCall call;
    call.function = function;
    call.args = std::move(args);
    fake().calls.push_back(std::move(call));
    return fake().calls.back();
}

// The scripted status, or the hook's answer when one is installed.  The call
// record is copied back so that what the hook noted is kept.
int32_t answer(FakeCall &call, bool &hooked)
{
    auto hook = fake().hooks.find(call.function);
    hooked = hook != fake().hooks.end();
    if (hooked)
        return hook->second(call);
    auto &queue = fake().statuses[call.function];
    if (queue.empty())
        return STATUS_NOERROR;
    int32_t status = queue.front();
    queue.pop_front();
    return status;
}

void copy_text(char *out, const std::string &text)
{
    if (out != nullptr)
        std::memcpy(out, text.c_str(), text.size() + 1);
}

}  // namespace

extern "C" {

TENQ_EXPORT FakeJ2534 *fake_j2534()
{
    return &fake();
}

#ifndef FAKE_WITHOUT_OPEN
TENQ_EXPORT int32_t PassThruOpen(const void *pName, uint32_t *pDeviceID)
{
    FakeCall &call = record("PassThruOpen", {});
    if (pName != nullptr)
        call.name = static_cast<const char *>(pName);
    call.ptr[0] = const_cast<void *>(pName);
    call.ptr[1] = pDeviceID;
    bool hooked;
    int32_t status = answer(call, hooked);
    if (!hooked && status == STATUS_NOERROR && pDeviceID)
        *pDeviceID = fake().device_id;
    return status;
}
#endif

TENQ_EXPORT int32_t PassThruClose(uint32_t DeviceID)
{
    bool hooked;
    return answer(record("PassThruClose", {DeviceID}), hooked);
}

TENQ_EXPORT int32_t PassThruConnect(uint32_t DeviceID, uint32_t ProtocolID, uint32_t Flags,
                                    uint32_t BaudRate, uint32_t *pChannelID)
{
    FakeCall &call = record("PassThruConnect", {DeviceID, ProtocolID, Flags, BaudRate});
    call.ptr[0] = pChannelID;
    bool hooked;
    int32_t status = answer(call, hooked);
    if (!hooked && pChannelID) {
        auto known = fake().channel_of_protocol.find(ProtocolID);
        // Like the Orvane library, a refused protocol gets channel 0.
        *pChannelID = status != STATUS_NOERROR                    ? 0
                      : known != fake().channel_of_protocol.end() ? known->second
                                                                  : ProtocolID;
    }
    return status;
}

TENQ_EXPORT int32_t PassThruDisconnect(uint32_t ChannelID)
{
    bool hooked;
    return answer(record("PassThruDisconnect", {ChannelID}), hooked);
}

TENQ_EXPORT int32_t PassThruReadMsgs(uint32_t ChannelID, PASSTHRU_MSG *pMsg, uint32_t *pNumMsgs,
                                     uint32_t Timeout)
{
    FakeCall &call = record("PassThruReadMsgs", {ChannelID, pNumMsgs ? *pNumMsgs : 0, Timeout});
    call.ptr[0] = pMsg;
    call.ptr[1] = pNumMsgs;
    bool hooked;
    int32_t status = answer(call, hooked);
    if (!hooked && pMsg && pNumMsgs) {
        uint32_t wanted = *pNumMsgs, got = 0;
        while (got < wanted && !fake().rx.empty()) {
            pMsg[got++] = fake().rx.front();
            fake().rx.pop_front();
        }
        *pNumMsgs = got;
        if (status == STATUS_NOERROR && got == 0)
            status = ERR_BUFFER_EMPTY;
    }
    return status;
}

TENQ_EXPORT int32_t PassThruWriteMsgs(uint32_t ChannelID, PASSTHRU_MSG *pMsg, uint32_t *pNumMsgs,
                                      uint32_t Timeout)
{
    FakeCall &call = record("PassThruWriteMsgs", {ChannelID, pNumMsgs ? *pNumMsgs : 0, Timeout});
    if (pMsg && pNumMsgs)
        call.msgs.assign(pMsg, pMsg + *pNumMsgs);
    call.ptr[0] = pMsg;
    call.ptr[1] = pNumMsgs;
    bool hooked;
    return answer(call, hooked);
}

TENQ_EXPORT int32_t PassThruStartPeriodicMsg(uint32_t ChannelID, PASSTHRU_MSG *pMsg,
                                             uint32_t *pMsgID, uint32_t TimeInterval)
{
    FakeCall &call = record("PassThruStartPeriodicMsg", {ChannelID, TimeInterval});
    if (pMsg)
        call.msgs.push_back(*pMsg);
    call.ptr[0] = pMsg;
    call.ptr[1] = pMsgID;
    bool hooked;
    int32_t status = answer(call, hooked);
    if (!hooked && status == STATUS_NOERROR && pMsgID)
        *pMsgID = fake().next_periodic_id++;
    return status;
}

TENQ_EXPORT int32_t PassThruStopPeriodicMsg(uint32_t ChannelID, uint32_t MsgID)
{
    bool hooked;
    return answer(record("PassThruStopPeriodicMsg", {ChannelID, MsgID}), hooked);
}

TENQ_EXPORT int32_t PassThruStartMsgFilter(uint32_t ChannelID, uint32_t FilterType,
                                           PASSTHRU_MSG *pMaskMsg, PASSTHRU_MSG *pPatternMsg,
                                           PASSTHRU_MSG *pFlowControlMsg, uint32_t *pMsgID)
{
    FakeCall &call = record("PassThruStartMsgFilter", {ChannelID, FilterType});
    for (PASSTHRU_MSG *m : {pMaskMsg, pPatternMsg, pFlowControlMsg}) {
        PASSTHRU_MSG copy{};
        if (m)
            copy = *m;
        call.msgs.push_back(copy);
    }
    call.ptr[0] = pMaskMsg;
    call.ptr[1] = pPatternMsg;
    call.ptr[2] = pFlowControlMsg;
    call.ptr[3] = pMsgID;
    bool hooked;
    int32_t status = answer(call, hooked);
    if (!hooked && status == STATUS_NOERROR && pMsgID)
        *pMsgID = fake().next_filter_id++;
    return status;
}

TENQ_EXPORT int32_t PassThruStopMsgFilter(uint32_t ChannelID, uint32_t MsgID)
{
    bool hooked;
    return answer(record("PassThruStopMsgFilter", {ChannelID, MsgID}), hooked);
}

TENQ_EXPORT int32_t PassThruSetProgrammingVoltage(uint32_t DeviceID, uint32_t PinNumber,
                                                  uint32_t Voltage)
{
    bool hooked;
    return answer(record("PassThruSetProgrammingVoltage", {DeviceID, PinNumber, Voltage}), hooked);
}

TENQ_EXPORT int32_t PassThruReadVersion(uint32_t DeviceID, char *pFirmwareVersion,
                                        char *pDllVersion, char *pApiVersion)
{
    FakeCall &call = record("PassThruReadVersion", {DeviceID});
    call.ptr[0] = pFirmwareVersion;
    call.ptr[1] = pDllVersion;
    call.ptr[2] = pApiVersion;
    bool hooked;
    int32_t status = answer(call, hooked);
    if (!hooked && status == STATUS_NOERROR) {
        copy_text(pFirmwareVersion, fake().firmware);
        copy_text(pDllVersion, fake().library);
        copy_text(pApiVersion, fake().api);
    }
    return status;
}

TENQ_EXPORT int32_t PassThruGetLastError(char *pErrorDescription)
{
    bool hooked;
    int32_t status = answer(record("PassThruGetLastError", {}), hooked);
    if (!hooked)
        copy_text(pErrorDescription, "No Error");
    return status;
}

#ifndef FAKE_WITHOUT_IOCTL
TENQ_EXPORT int32_t PassThruIoctl(uint32_t ChannelID, uint32_t IoctlID, void *pInput, void *pOutput)
{
    FakeCall &call = record("PassThruIoctl", {ChannelID, IoctlID});
    call.ptr[0] = pInput;
    call.ptr[1] = pOutput;
    auto *list = static_cast<SCONFIG_LIST *>(pInput);
    auto *params = static_cast<SPARAM_LIST *>(pOutput);
    switch (IoctlID) {
    case GET_CONFIG:
    case SET_CONFIG:
        if (list && list->ConfigPtr)
            call.config.assign(list->ConfigPtr, list->ConfigPtr + list->NumOfParams);
        break;
    case GET_DEVICE_INFO:
    case GET_PROTOCOL_INFO:
        if (params && params->ParamPtr)
            call.params.assign(params->ParamPtr, params->ParamPtr + params->NumOfParams);
        break;
    case FIVE_BAUD_INIT:
    case FAST_INIT: break;
    default:
        if (pInput)
            call.input = *static_cast<uint32_t *>(pInput);
    }
    bool hooked;
    int32_t status = answer(call, hooked);
    if (hooked || status != STATUS_NOERROR)
        return status;
    switch (IoctlID) {
    case GET_CONFIG:
        for (uint32_t i = 0; list && list->ConfigPtr && i < list->NumOfParams; ++i)
            list->ConfigPtr[i].Value = fake().config[list->ConfigPtr[i].Parameter];
        break;
    case SET_CONFIG:
        for (uint32_t i = 0; list && list->ConfigPtr && i < list->NumOfParams; ++i)
            fake().config[list->ConfigPtr[i].Parameter] = list->ConfigPtr[i].Value;
        break;
    case GET_DEVICE_INFO:
        for (uint32_t i = 0; params && params->ParamPtr && i < params->NumOfParams; ++i)
            if (params->ParamPtr[i].Parameter == SERIAL_NUMBER) {
                params->ParamPtr[i].Value = fake().serial_number;
                params->ParamPtr[i].Supported = 1;
            }
        break;
    default: {
        auto value = fake().ioctl_output.find(IoctlID);
        if (value != fake().ioctl_output.end() && pOutput)
            *static_cast<uint32_t *>(pOutput) = value->second;
    }
    }
    return status;
}
#endif

}  // extern "C"
