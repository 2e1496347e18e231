/*
 * fake_j2534.h - a recording J2534 library for the test application's tests.
 *
 * Built as a shared object that the form loads through the registry like any
 * vendor's library.  Every call is recorded (arguments, copies of the records
 * passed in) and answered from a script: a queue of statuses per function,
 * values for the outputs, or a hook that replaces a function's answer.  The
 * test reaches the same instance through fake_j2534(), looked up in the
 * loaded object (FakeLibrary in form_fixture.h).
 *
 * Variants built from the same source lack one function (FAKE_WITHOUT_<NAME>)
 * to test the binding.
 */
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "j2534.h"

struct FakeCall {
    std::string function;             // "PassThruConnect"
    std::vector<uint32_t> args;       // the integer arguments in order
    std::vector<PASSTHRU_MSG> msgs;   // copies of the records passed in, in order
    std::optional<std::string> name;  // PassThruOpen: the device name (nothing for null)
    std::optional<uint32_t> input;    // PassThruIoctl: a uint32_t input, when one was passed
    std::vector<SCONFIG> config;      // PassThruIoctl GET_CONFIG/SET_CONFIG: the list passed in
    std::vector<SPARAM> params;       // PassThruIoctl GET_DEVICE_INFO/GET_PROTOCOL_INFO: the list
    void *ptr[4] = {};                // the raw pointer arguments, valid during the call only
};

// Replaces a function's answer: may write the call's outputs through ptr[],
// returns the status.
using FakeHook = std::function<int32_t(FakeCall &call)>;

struct FakeJ2534 {
    std::deque<FakeCall> calls;  // a deque: a hook may call again while a record is held

    // Next statuses per function name; an empty queue answers 0.
    std::map<std::string, std::deque<int32_t>> statuses;
    std::map<std::string, FakeHook> hooks;

    // Values the outputs receive on status 0.
    uint32_t device_id = 1;
    std::map<uint32_t, uint32_t> channel_of_protocol;  // missing: the ProtocolID itself
    uint32_t next_filter_id = 0;                       // counts up with each start
    uint32_t next_periodic_id = 0;
    std::string firmware = "FW 1.23", library = "01.00", api = "04.04";
    uint32_t serial_number = 4711;              // GET_DEVICE_INFO SERIAL_NUMBER
    std::map<uint32_t, uint32_t> ioctl_output;  // IoctlID -> uint32_t output (READ_VBATT ...)
    std::map<uint32_t, uint32_t>
        config;                   // parameter -> value (GET_CONFIG reads, SET_CONFIG writes)
    std::deque<PASSTHRU_MSG> rx;  // PassThruReadMsgs hands these out in order

    // Calls of one function, in order.
    std::vector<FakeCall> of(const std::string &function) const
    {
        std::vector<FakeCall> found;
        for (const FakeCall &c : calls)
            if (c.function == function)
                found.push_back(c);
        return found;
    }
    size_t count(const std::string &function) const { return of(function).size(); }
    // Names of all calls, in order.
    std::vector<std::string> names() const
    {
        std::vector<std::string> found;
        for (const FakeCall &c : calls)
            found.push_back(c.function);
        return found;
    }
};

extern "C" TENQ_EXPORT FakeJ2534 *fake_j2534();
