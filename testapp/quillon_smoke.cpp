// quillon_smoke.cpp - a check of an installed system on a real X server
// (Xvfb in CI): the program's own start (RunQuillon) on the registry of
// $ORVANE_ROOT, "Load Library" on the "Orvane-FD" entry, and the versions
// and serial number the "Library" page then shows.  Not installed; run by
// scripts/run-quillon --check.  Exit status 0 when the three versions were
// shown and no message box came up.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

#include <cstdio>

#include "testapp/form.h"
#include "testapp/program.h"

namespace {

// A message box would wait for a user: print it instead and count it.
class PrintedMessages : public MessageBoxes {
  public:
    void show(const std::string &text, const std::string &caption) override
    {
        std::fprintf(stderr, "quillon_smoke: message box [%s] %s\n", caption.c_str(), text.c_str());
        ++shown;
    }
    int shown = 0;
};

}  // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("quillon");
    Services services = desktop_services();
    PrintedMessages messages;
    services.messages = &messages;

    bool versions = false;
    RunQuillon(app, services, [&](TForm1 &form) {
        QTimer::singleShot(0, &form, [&] {
            for (size_t i = 0; i < form.Interfaces.size(); ++i)
                if (form.Interfaces[i].name == "Orvane-FD")
                    form.LibraryListBox->setCurrentRow(static_cast<int>(i));
            form.LoadLibraryButtonClick();
            const std::pair<const char *, QLineEdit *> shown[] = {
                {"API Version", form.APIVersion},
                {"Library Version", form.LibraryVersion},
                {"Firmware Version", form.FirmwareVersion},
                {"Serial Number", form.SerialNum}};
            versions = true;
            for (const auto &[label, text] : shown) {
                std::printf("%-17s %s\n", label, text->text().toLatin1().constData());
                versions = versions && (text == form.SerialNum || !text->text().isEmpty());
            }
            form.close();
        });
    });
    bool passed = versions && messages.shown == 0;
    std::printf("quillon_smoke: %s\n", passed ? "passed" : "FAILED");
    return passed ? 0 : 1;
}
