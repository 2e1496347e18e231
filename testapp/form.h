/*
 * form.h - TForm1, the one window of the test application (quillon).
 *
 * The window is a tabbed notebook of eight pages, in this order: "Library",
 * "Connect / Disconnect", "I/O Control (1)", "I/O Control (2)",
 * "Filter Msgs", "Periodic Msgs", "Prog. Voltage", "Read / Write".  Only
 * "Library" can be shown until a library has been loaded.
 *
 * Where a page goes:
 *   - page_<page>.cpp defines TForm1::Build<Page>Page(QWidget *page), which
 *     creates the page's widgets into `page`, and the page's handlers.  The
 *     constructor calls the eight Build functions in tab order, then lists
 *     the registered interfaces.
 *   - page_<page>_members.h declares the page's widgets and handlers; it is
 *     included inside the class body below, so a page adds members to TForm1
 *     without touching this file.  Widgets are public pointers named as the
 *     form names them (objectName too); repeated rows are arrays of structs.
 *     A unit that is no page (the configuration file behind "Load Config"
 *     and "Save Config") gets its own members header the same way.
 *   - Handlers are plain public methods named after the control and event
 *     (CANConnectClick), taking no sender, so tests call them directly.  Wire
 *     each once with Wire(widget, &Widget::signal, &TForm1::Handler), which
 *     shows an escaping exception in a message box.  A check box set from
 *     code must run its handler: wire check boxes to `toggled`; combo boxes
 *     that act on a choice to `activated`, which code does not trigger.
 *   - Library calls go through PassThruFunctionTable (form_state.h); test
 *     the entry with Bound(...) first, which tells the user when the loaded
 *     library lacks it.  Report a failing call with ShowPassThruError.
 *     CallAndReport(...) does all three where that is the whole story.
 *   - Other messages go through ShowMessage (services.h: tests see them).
 *   - Parsing and formatting live in Qt-free units (message_text.h) with
 *     their own tests.  Texts cross between Qt and the library as Latin-1
 *     (TextOf / SetText in widgets.h).
 *   - Tests: tests/testapp/form_fixture.h builds the form offscreen with
 *     recorded services over the recording fake library (fake_j2534.h),
 *     whose hooks script any call's outputs.
 */
#pragma once

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "testapp/bus_monitor.h"
#include "testapp/form_state.h"
#include "testapp/saved_messages.h"
#include "testapp/services.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class TabbedNotebook;

class TForm1 : public QWidget, public FormState {
  public:
    explicit TForm1(const Services &services, QWidget *parent = nullptr);
    ~TForm1() override;

    // ---- The notebook and its lock ------------------------------------
    enum Page {
        kLibraryPage,
        kConnectPage,
        kIoControl1Page,
        kIoControl2Page,
        kFilterPage,
        kPeriodicPage,
        kProgVoltagePage,
        kReadWritePage,
        kPageCount
    };
    TabbedNotebook *TabbedNotebook1 = nullptr;
    std::array<QWidget *, kPageCount> Pages{};
    // Asked before every page change; refuses it while no library is loaded.
    void TabbedNotebook1Change(int NewTab, bool &AllowChange);

    // ---- Messages -----------------------------------------------------
    // "<function> returned <status>", caption "ERROR".
    void ShowPassThruError(const std::string &function, int32_t status);
    // A message box with one OK button.
    void ShowMessage(const std::string &text, const std::string &caption = "ERROR");

    // True when the library bound `entry`; otherwise tells the user
    // "<name> is not available in the loaded library" and returns false.
    template <typename Function> bool Bound(Function entry, const char *name)
    {
        if (entry != nullptr)
            return true;
        ReportMissingFunction(name);
        return false;
    }

    // Bound, the call of `entry` with `args`, and ShowPassThruError under
    // `name` on a status other than 0.  The call's status, or nothing when
    // the library lacks the function (the user has been told).
    template <typename Function, typename... Args>
    std::optional<int32_t> CallAndReport(Function entry, const char *name, Args... args)
    {
        if (!Bound(entry, name))
            return std::nullopt;
        int32_t status = entry(args...);
        if (status != STATUS_NOERROR)
            ShowPassThruError(name, status);
        return status;
    }

    // Connects `signal` of `sender` to `handler`, showing an exception that
    // escapes the handler instead of ending the program.
    template <typename Sender, typename Signal>
    void Wire(Sender *sender, Signal signal, void (TForm1::*handler)())
    {
        QObject::connect(sender, signal, this,
                         [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    }
    void Guarded(const std::function<void()> &body);

    // Closes the device opened by "Load Library", if any; the program calls
    // it once after its event loop.
    void CloseDeviceAtExit();

    Services services;

    // ---- The pages ----------------------------------------------------
#include "testapp/page_connect_members.h"
#include "testapp/page_filters_members.h"
#include "testapp/page_ioctl1_members.h"
#include "testapp/page_ioctl2_members.h"
#include "testapp/page_library_members.h"
#include "testapp/page_periodic_members.h"
#include "testapp/page_progvoltage_members.h"
#include "testapp/page_readwrite_members.h"

  private:
    void ReportMissingFunction(const char *name);
};
