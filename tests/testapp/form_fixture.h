/*
 * form_fixture.h - the test application's form on Qt's offscreen platform,
 * with recorded message boxes, scripted file dialogs, a hand-driven clock
 * and USB reader, a private relocation root holding the registry, and the
 * recording fake J2534 library registered in it.
 */
#pragma once

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_fixture.h"
#include "testapp/form.h"
#include "tests/passthru/registry_fixture.h"
#include "tests/testapp/fake_j2534.h"

namespace quillon_test {

struct ShownMessage {
    std::string text;
    std::string caption;
    bool operator==(const ShownMessage &) const = default;
};

inline std::ostream &operator<<(std::ostream &os, const ShownMessage &m)
{
    return os << "[" << m.caption << "] " << m.text;
}

class RecordedMessages : public MessageBoxes {
  public:
    void show(const std::string &text, const std::string &caption) override
    {
        shown.push_back({text, caption});
    }
    std::vector<ShownMessage> shown;
};

class ScriptedFileDialogs : public FileDialogs {
  public:
    std::optional<std::string> open_file(const FileDialogRequest &request) override
    {
        requests.push_back(request);
        return answer;
    }
    std::optional<std::string> save_file(const FileDialogRequest &request) override
    {
        requests.push_back(request);
        return answer;
    }
    std::optional<std::string> answer;  // nothing: the user pressed "Cancel"
    std::vector<FileDialogRequest> requests;
};

class ManualClock : public Clock {
  public:
    uint32_t tick_count() override { return now; }
    uint32_t now = 1000;
};

class FakeUsbReader : public UsbSerialReader {
  public:
    std::optional<std::string> serial_number() override
    {
        ++reads;
        return serial;
    }
    std::optional<std::string> serial;
    int reads = 0;
};

// One QApplication per test process, on the offscreen platform; deleted
// when the tests end (form_fixture.cpp), before Qt's own statics go.
QApplication &application();

// The relocation root and the simulators come from SimFixture.
class FormTest : public orvane::sim::SimFixture {
  protected:
    void SetUp() override
    {
        application();
        SimFixture::SetUp();
        services_ = Services{&messages, &files, &clock, &usb};
    }

    void TearDown() override
    {
        form_.reset();
        SimFixture::TearDown();
    }

    // Writes the 04.04 registry entry `key` with the given values.conf lines.
    void register_interface(const std::string &key, const std::string &lines)
    {
        tenq_test::write_device_entry(root(), lines, key);
    }

    // Registers `library` as the Orvane-FD entry, the way the installer does.
    void register_library(const std::string &library, const std::string &vendor = "Vexlar LLC")
    {
        register_interface("Vexlar-Orvane-FD", "Name=\"Orvane-FD\"\nVendor=\"" + vendor +
                                                   "\"\nFunctionLibrary=\"" + library + "\"\n");
    }

    // A new form (the constructor lists the registry's interfaces).
    TForm1 &make_form()
    {
        form_ = std::make_unique<TForm1>(services_);
        return *form_;
    }

    // A form that loaded `library` (registered first, vendor "Vexlar LLC").
    TForm1 &loaded_form(const std::string &library = FAKE_J2534_LIB)
    {
        register_library(library);
        // The library stays loaded for the process; start from a clean record.
        if (void *handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
            if (auto get = reinterpret_cast<FakeJ2534 *(*)()>(::dlsym(handle, "fake_j2534")))
                *get() = FakeJ2534{};
            ::dlclose(handle);
        }
        TForm1 &form = make_form();
        form.LoadLibraryButtonClick();
        return form;
    }

    // The fake library's record, once the form has loaded it.
    FakeJ2534 &fake(const std::string &library = FAKE_J2534_LIB)
    {
        void *handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (handle == nullptr)
            throw std::runtime_error("fake library not loaded: " + library);
        auto get = reinterpret_cast<FakeJ2534 *(*)()>(::dlsym(handle, "fake_j2534"));
        ::dlclose(handle);  // drops only the reference taken here
        return *get();
    }

    TForm1 &form() { return *form_; }

    RecordedMessages messages;
    ScriptedFileDialogs files;
    ManualClock clock;
    FakeUsbReader usb;

  private:
    Services services_;
    std::unique_ptr<TForm1> form_;
};

}  // namespace quillon_test
