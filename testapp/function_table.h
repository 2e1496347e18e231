/*
 * function_table.h - the 14 standard J2534 functions of the loaded library.
 *
 * The test application reaches a pass-thru library only through these
 * entries, bound by name at run time; it never binds a vendor extension.
 * An entry stays null while its name has not been bound, and every caller
 * checks it first: a library that lacks a name still unlocks the pages.
 */
#pragma once

#include <cstdint>
#include <type_traits>

#include "j2534.h"

struct PassThruFunctionTable {
    decltype(&::PassThruOpen) PassThruOpen = nullptr;
    decltype(&::PassThruClose) PassThruClose = nullptr;
    decltype(&::PassThruConnect) PassThruConnect = nullptr;
    decltype(&::PassThruDisconnect) PassThruDisconnect = nullptr;
    decltype(&::PassThruReadMsgs) PassThruReadMsgs = nullptr;
    decltype(&::PassThruWriteMsgs) PassThruWriteMsgs = nullptr;
    decltype(&::PassThruStartPeriodicMsg) PassThruStartPeriodicMsg = nullptr;
    decltype(&::PassThruStopPeriodicMsg) PassThruStopPeriodicMsg = nullptr;
    decltype(&::PassThruStartMsgFilter) PassThruStartMsgFilter = nullptr;
    decltype(&::PassThruStopMsgFilter) PassThruStopMsgFilter = nullptr;
    decltype(&::PassThruSetProgrammingVoltage) PassThruSetProgrammingVoltage = nullptr;
    decltype(&::PassThruReadVersion) PassThruReadVersion = nullptr;
    decltype(&::PassThruGetLastError) PassThruGetLastError = nullptr;
    decltype(&::PassThruIoctl) PassThruIoctl = nullptr;
};

// Calls visit(name, entry) for each entry in binding order.
template <typename Visit> void for_each_entry(PassThruFunctionTable &t, Visit &&visit)
{
    visit("PassThruOpen", t.PassThruOpen);
    visit("PassThruClose", t.PassThruClose);
    visit("PassThruConnect", t.PassThruConnect);
    visit("PassThruDisconnect", t.PassThruDisconnect);
    visit("PassThruReadMsgs", t.PassThruReadMsgs);
    visit("PassThruWriteMsgs", t.PassThruWriteMsgs);
    visit("PassThruStartPeriodicMsg", t.PassThruStartPeriodicMsg);
    visit("PassThruStopPeriodicMsg", t.PassThruStopPeriodicMsg);
    visit("PassThruStartMsgFilter", t.PassThruStartMsgFilter);
    visit("PassThruStopMsgFilter", t.PassThruStopMsgFilter);
    visit("PassThruSetProgrammingVoltage", t.PassThruSetProgrammingVoltage);
    visit("PassThruReadVersion", t.PassThruReadVersion);
    visit("PassThruGetLastError", t.PassThruGetLastError);
    visit("PassThruIoctl", t.PassThruIoctl);
}

// Looks the names up in binding order through `lookup(name)` (null when
// absent).  Returns the first name that is absent, or null when all were
// found.  Entries after the missing one are cleared: they would otherwise
// still point into a library loaded before, and be called with this one's
// device and channels.
template <typename Lookup> const char *bind_functions(PassThruFunctionTable &t, Lookup &&lookup)
{
    const char *missing = nullptr;
    for_each_entry(t, [&](const char *name, auto &entry) {
        using Entry = std::remove_reference_t<decltype(entry)>;
        if (missing != nullptr) {
            entry = nullptr;
            return;
        }
        void *address = lookup(name);
        entry = reinterpret_cast<Entry>(address);
        if (address == nullptr)
            missing = name;
    });
    return missing;
}
