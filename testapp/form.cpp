// form.cpp - TForm1: the notebook shell, its page lock, messages and the
// close of the device at exit.  The pages live in page_*.cpp.
#include "testapp/form.h"

#include <QVBoxLayout>

#include <exception>

#include "testapp/message_text.h"
#include "testapp/tabbed_notebook.h"

TForm1::TForm1(const Services &services_in, QWidget *parent)
    : QWidget(parent), services(services_in)
{
    setObjectName("Form1");
    setWindowTitle("J2534 Interface Test");
    auto *layout = new QVBoxLayout(this);
    TabbedNotebook1 = new TabbedNotebook(this);
    TabbedNotebook1->setObjectName("TabbedNotebook1");
    layout->addWidget(TabbedNotebook1);

    static const char *const kCaptions[kPageCount] = {
        "Library",     "Connect / Disconnect", "I/O Control (1)", "I/O Control (2)",
        "Filter Msgs", "Periodic Msgs",        "Prog. Voltage",   "Read / Write",
    };
    for (int i = 0; i < kPageCount; ++i) {
        Pages[i] = new QWidget;
        TabbedNotebook1->add_page(Pages[i], QString::fromLatin1(kCaptions[i]));
    }
    BuildLibraryPage(Pages[kLibraryPage]);
    BuildConnectPage(Pages[kConnectPage]);
    BuildIoControl1Page(Pages[kIoControl1Page]);
    BuildIoControl2Page(Pages[kIoControl2Page]);
    BuildFilterPage(Pages[kFilterPage]);
    BuildPeriodicPage(Pages[kPeriodicPage]);
    BuildProgVoltagePage(Pages[kProgVoltagePage]);
    BuildReadWritePage(Pages[kReadWritePage]);

    TabbedNotebook1->set_ask_change([this](int index) {
        bool allow = true;
        Guarded([&] { TabbedNotebook1Change(index, allow); });
        return allow;
    });

    DiscoverInterfaces();
}

TForm1::~TForm1() = default;

void TForm1::TabbedNotebook1Change(int /*NewTab*/, bool &AllowChange)
{
    if (LibraryHandle == nullptr) {
        ShowMessage("A library must be selected and loaded before use");
        AllowChange = false;
    }
}

void TForm1::ShowPassThruError(const std::string &function, int32_t status)
{
    ShowMessage(returned_text(function, status));
}

void TForm1::ShowMessage(const std::string &text, const std::string &caption)
{
    services.messages->show(text, caption);
}

void TForm1::ReportMissingFunction(const char *name)
{
    ShowMessage(std::string(name) + " is not available in the loaded library");
}

void TForm1::Guarded(const std::function<void()> &body)
{
    try {
        body();
    } catch (const std::exception &e) {
        ShowMessage(e.what(), "quillon");
    } catch (...) {
        ShowMessage("Unknown exception", "quillon");
    }
}

void TForm1::CloseDeviceAtExit()
{
    if (OpenDeviceID == 0)
        return;
    // A library that failed to bind it simply keeps its device.
    if (PassThruFunctionTable.PassThruClose != nullptr)
        PassThruFunctionTable.PassThruClose(OpenDeviceID);
    OpenDeviceID = 0;
}
