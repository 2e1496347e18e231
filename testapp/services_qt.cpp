// services_qt.cpp - message boxes, file dialogs, clock and USB reader of the
// running program.
#include "testapp/services_qt.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include "platform/ticks.h"
#include "platform/usb_serial.h"
#include "testapp/widgets.h"

namespace {

// "Config Files|*.cfg" becomes Qt's "Config Files (*.cfg)".
QString qt_filter(const std::string &filter)
{
    QStringList parts = Latin1(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    return filters.join(";;");
}

class DesktopMessageBoxes : public MessageBoxes {
  public:
    void show(const std::string &text, const std::string &caption) override
    {
        QMessageBox box(QMessageBox::NoIcon, Latin1(caption), Latin1(text), QMessageBox::Ok,
                        QApplication::activeWindow());
        box.exec();
    }
};

class DesktopFileDialogs : public FileDialogs {
  public:
    std::optional<std::string> open_file(const FileDialogRequest &request) override
    {
        return result(QFileDialog::getOpenFileName(QApplication::activeWindow(),
                                                   Latin1(request.title), DialogStartPath(request),
                                                   qt_filter(request.filter)));
    }
    std::optional<std::string> save_file(const FileDialogRequest &request) override
    {
        return result(QFileDialog::getSaveFileName(QApplication::activeWindow(),
                                                   Latin1(request.title), DialogStartPath(request),
                                                   qt_filter(request.filter)));
    }

  private:
    static std::optional<std::string> result(const QString &name)
    {
        if (name.isEmpty())
            return std::nullopt;
        return FileNameBytes(name);
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

QString DialogStartPath(const FileDialogRequest &request)
{
    QString name = FileNameText(request.file_name);
    if (QDir::isAbsolutePath(name))
        return name;
    return FileNameText(request.folder.empty() ? std::string(".") : request.folder) + "/" + name;
}

QString FileNameText(const std::string &name)
{
    return QFile::decodeName(QByteArray::fromStdString(name));
}

std::string FileNameBytes(const QString &name)
{
    return QFile::encodeName(name).toStdString();
}

Services desktop_services()
{
    static DesktopMessageBoxes messages;
    static DesktopFileDialogs files;
    static SystemClock clock;
    static FtdiSerialReader usb;
    return Services{&messages, &files, &clock, &usb};
}
