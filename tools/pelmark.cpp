/*
 * pelmark.cpp - the log collector: copies one log file from the SD card of
 * each adapter the user connects into a folder named after the adapter's
 * serial number, appends it to one combined log in the current folder and
 * deletes it on the card.
 *
 * The card file is deleted only once its data are safe in both the copy and
 * the combined log, and no earlier copy is ever overwritten.
 */
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include "j2534.h"
#include "platform/console.h"
#include "tools/dir_list.h"

namespace {

// The log name, copy name and serial folder buffers.
constexpr size_t kNameBuffer = 128;
// "./%08d/%06d_" takes 18 characters of the copy name's buffer.
constexpr size_t kLogNameMax = kNameBuffer - 1 - 18;
constexpr size_t kCopyPiece = 512;
constexpr int kSequenceMax = 999999;

constexpr const char *kUsage =
    "\nUsage: pelmark <filename.log>\n"
    "\nLog files read from Orvane will be stored in a sub-directory based on the\n"
    "8-digit electronic serial number of the Orvane.  Saved log file names will\n"
    "have a sequence number added to the end of the filename.  After the log file\n"
    "is saved in the serial number sub-directory, it will be appended to the main\n"
    "log file and then deleted from the Orvane.\n";

// One character of standard input, once everything printed is visible.
int read_char()
{
    std::fflush(stdout);
    return std::getchar();
}

// A step's text has no line break, so it is flushed at once: the step may
// take minutes on the link, and the user should see what it is waiting for.
void show_progress(const char *text)
{
    std::fputs(text, stdout);
    std::fflush(stdout);
}

void press_enter(const char *message)
{
    std::fputs(message, stdout);
    read_char();
}

// The serial number from the adapter's device information, or false.
bool read_serial_number(uint32_t device, uint32_t *serial)
{
    SPARAM param = {SERIAL_NUMBER, 0, 0};
    SPARAM_LIST request = {1, &param};
    const int32_t status = PassThruIoctl(device, GET_DEVICE_INFO, nullptr, &request);
    if (status != STATUS_NOERROR) {
        std::printf("ERROR: PassThruIoctl(GET_DEVICE_INFO) Status=%d\n", static_cast<int>(status));
        return false;
    }
    *serial = param.Value;
    return true;
}

// Claims the first free sequence number of the serial folder by creating
// its copy empty; O_EXCL makes sure that no file, ours or another
// process's, is ever overwritten.  False, with the reason printed, when no
// name can be claimed.
bool reserve_copy_name(const char *folder, const char *log_name, char (&copy)[kNameBuffer])
{
    for (int seq = 0; seq <= kSequenceMax; ++seq) {
        const int length = std::snprintf(copy, sizeof copy, "./%s/%06d_%s", folder, seq, log_name);
        if (length < 0 || static_cast<size_t>(length) >= sizeof copy) {
            std::printf("ERROR: Copy name of %s too long\n", log_name);  // main() keeps it short
            return false;
        }
        const int fd = ::open(copy, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return true;
        }
        if (errno != EEXIST) {
            std::printf("ERROR: Cannot create %s: %s\n", copy, std::strerror(errno));
            return false;
        }
    }
    std::printf("ERROR: No free sequence number for %s in ./%s\n", log_name, folder);
    return false;
}

// Appends the copy to the combined log.  On any failure the combined log is
// cut back to its former length, so a later run appends the file whole
// instead of after a fragment; the error line names the file at fault.
bool append_copy(const char *copy, const char *combined)
{
    std::error_code ec;
    const auto old_size = std::filesystem::file_size(combined, ec);
    FILE *out = std::fopen(combined, "a+");
    if (out == nullptr) {
        std::printf("ERROR: Cannot open %s: %s\n", combined, std::strerror(errno));
        return false;
    }
    FILE *in = std::fopen(copy, "r");
    if (in == nullptr) {
        std::printf("ERROR: Cannot open %s: %s\n", copy, std::strerror(errno));
        std::fclose(out);
        return false;
    }
    char piece[kCopyPiece];
    const char *failed = nullptr;
    int error = 0;
    for (;;) {
        const size_t n = std::fread(piece, 1, sizeof piece, in);
        if (n == 0) {
            if (std::ferror(in)) {
                failed = copy;
                error = errno;
            }
            break;
        }
        if (std::fwrite(piece, 1, n, out) != n) {
            failed = combined;
            error = errno;
            break;
        }
    }
    if (std::fclose(in) != 0 && failed == nullptr) {
        failed = copy;
        error = errno;
    }
    if (std::fclose(out) != 0 && failed == nullptr) {
        failed = combined;
        error = errno;
    }
    if (failed != nullptr) {
        std::printf("ERROR: Cannot append %s to %s: %s: %s\n", copy, combined, failed,
                    std::strerror(error));
        std::filesystem::resize_file(combined, ec ? 0 : old_size, ec);
        return false;
    }
    return true;
}

// Copies the log file off the card, appends it and deletes it on the card.
void collect(const char *serial_folder, const char *log_name, const char *typed_name)
{
    show_progress("Reading file from SD-Card...");
    std::error_code ec;
    std::filesystem::create_directory(serial_folder, ec);  // an existing one is fine
    if (ec) {
        std::printf("ERROR: Cannot create ./%s: %s\n", serial_folder, ec.message().c_str());
        return;  // the adapter is skipped, its card untouched
    }
    char copy[kNameBuffer];
    if (!reserve_copy_name(serial_folder, log_name, copy))
        return;  // the adapter is skipped, its card untouched
    const int32_t status = PassThruReadFile(copy, log_name, 0);
    if (status != STATUS_NOERROR) {
        std::printf("ERROR: PassThruReadFile(%s,%s) Status=%d\n", copy, log_name,
                    static_cast<int>(status));
        std::remove(copy);  // what arrived is not the whole file
        press_enter("ERROR: File on SD-Card not deleted!\nPress enter to continue...");
        return;
    }
    show_progress("Appending data to combined log file...");
    if (!append_copy(copy, log_name)) {
        press_enter("ERROR: File on SD-Card not deleted!\nPress enter to continue...");
        return;
    }
    show_progress("Deleting file on SD-Card...");
    if (PassThruDeleteFile(typed_name, 0) != STATUS_NOERROR) {
        std::printf("ERROR: %s on SD-Card not deleted!\nPress enter to continue...", log_name);
        read_char();
    }
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fputs(kUsage, stdout);
        return -1;
    }
    const char *typed_name = argv[1];
    // A longer name would not fit the copy name, and a '/' would put the
    // copy or the combined log outside their folders.
    if (std::strlen(typed_name) > kLogNameMax) {
        std::printf("ERROR: Log file name longer than %zu characters: %s\n", kLogNameMax,
                    typed_name);
        return -1;
    }
    if (std::strchr(typed_name, '/') != nullptr) {
        std::printf("ERROR: Log file name must not contain '/': %s\n", typed_name);
        return -1;
    }
    char log_name[kNameBuffer];
    std::snprintf(log_name, sizeof log_name, "%s", typed_name);
    for (char *c = log_name; *c; ++c)
        *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));

    for (;;) {
        std::fputs("\nConnect next Orvane and press enter, or type \"quit\" to exit...", stdout);
        if (read_char() != '\n')
            return 0;
        platform::console_clear();
        show_progress("Connecting to Orvane...");

        uint32_t device = 0;
        const int32_t opened = PassThruOpen(nullptr, &device);
        if (opened != STATUS_NOERROR) {
            std::printf("ERROR: PassThruOpen returned: %d\n", static_cast<int>(opened));
            return -1;
        }
        uint32_t serial = 0;
        if (read_serial_number(device, &serial)) {
            char serial_folder[kNameBuffer];
            std::snprintf(serial_folder, sizeof serial_folder, "%08d", static_cast<int>(serial));

            static char list[kDirListSize];
            std::memset(list, 0, sizeof list);
            PassThruReadDir("*.log", list);  // a failed listing leaves what arrived
            for (char *c = list; *c; ++c)
                *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
            if (std::strstr(list, log_name) != nullptr) {
                collect(serial_folder, log_name, typed_name);
            } else {
                std::printf("\nERROR: %s not found on SD-Card!\nPress enter to continue...",
                            log_name);
                read_char();
            }
        }
        const int32_t closed = PassThruClose(device);
        if (closed != STATUS_NOERROR) {
            std::printf("\nERROR: PassThruClose returned: %d\n", static_cast<int>(closed));
            return -1;
        }
    }
}
