// services_qt.cpp - message boxes, file dialogs, clock and USB reader of the
// running program.
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "platform/ticks.h"
#include "platform/usb_serial.h"
#include "testapp/services.h"

namespace {

QString latin1(const std::string &text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// "Config Files|*.cfg" becomes Qt's "Config Files (*.cfg)".
QString qt_filter(const std::string &filter)
{
    QStringList parts = latin1(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    return filters.join(";;");
}

QString start_path(const FileDialogRequest &request)
{
    QString folder = latin1(request.folder.empty() ? std::string(".") : request.folder);
    return folder + "/" + latin1(request.file_name);
}

class DesktopMessageBoxes : public MessageBoxes {
  public:
    void show(const std::string &text, const std::string &caption) override
    {
        QMessageBox box(QMessageBox::NoIcon, latin1(caption), latin1(text), QMessageBox::Ok,
                        QApplication::activeWindow());
        box.exec();
    }
};

class DesktopFileDialogs : public FileDialogs {
  public:
    std::optional<std::string> open_file(const FileDialogRequest &request) override
    {
        return result(QFileDialog::getOpenFileName(QApplication::activeWindow(),
                                                   latin1(request.title), start_path(request),
                                                   qt_filter(request.filter)));
    }
    std::optional<std::string> save_file(const FileDialogRequest &request) override
    {
        return result(QFileDialog::getSaveFileName(QApplication::activeWindow(),
                                                   latin1(request.title), start_path(request),
                                                   qt_filter(request.filter)));
    }

  private:
    static std::optional<std::string> result(const QString &name)
    {
        if (name.isEmpty())
            return std::nullopt;
        return name.toLocal8Bit().toStdString();
    }
};

class SystemClock : public Clock {
  public:
    uint32_t tick_count() override { return platform::tick_count(); }
};

class FtdiSerialReader : public UsbSerialReader {
  public:
    std::optional<std::string> serial_number() override
    {
        return platform::read_ftdi_serial_number();
    }
};

}  // namespace

Services desktop_services()
{
    static DesktopMessageBoxes messages;
    static DesktopFileDialogs files;
    static SystemClock clock;
    static FtdiSerialReader usb;
    return Services{&messages, &files, &clock, &usb};
}
