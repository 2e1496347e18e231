// sdcard_files.cpp - PassThruReadFile, PassThruWriteFile and
// PassThruDeleteFile: copying files between the PC and the adapter's SD card.
// Touches the memory reply slot; the PC files are the caller's.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "j2534.h"
#include "passthru/debug.h"
#include "passthru/entry_check.h"
#include "passthru/guarded_call.h"
#include "passthru/link/link.h"
#include "passthru/services/mem_reply.h"
#include "passthru/services/sdcard.h"

namespace tenq {

namespace {

// Card to PC, into the open PC file.  No close frame after a failure: the
// card file stays open on the adapter.
int32_t copy_card_file(std::FILE *pc, const char *PCFileName, const char *SDFileName)
{
    if (MemRequestCmd(JMSG_MEM, JMSG_DEV_OPEN, 0,
                      static_cast<uint32_t>(std::strlen(SDFileName) + 1), SDFileName,
                      "PassThruReadFile(OPEN)", "PassThruReadFile(OPEN): Error") != STATUS_NOERROR)
        return ERR_FAILED;

    // A piece shorter than 64 bytes ends the file, so a file whose length is
    // a multiple of 64 ends with an empty piece.
    size_t last = kFilePiece;
    while (last == kFilePiece) {
        if (MemRequestCmd(JMSG_MEM, JMSG_DEV_READ, 0, 0, nullptr, "PassThruReadFile",
                          "PassThruReadFile(READ): Error") != STATUS_NOERROR)
            return ERR_FAILED;
        last = MemSize;
        if (std::fwrite(MemData, 1, last, pc) != last) {
            DbgPrintf(DBG_ERROR, "PassThruReadFile(): %s file write error", PCFileName);
            return ERR_FAILED;
        }
    }

    // Its outcome does not count.
    return MemRequestCmd(JMSG_MEM, JMSG_DEV_CLOSE, 0, 0, nullptr, "PassThruReadFile(CLOSE)",
                         nullptr);
}

int32_t read_file(const char *PCFileName, const char *SDFileName)
{
    std::FILE *pc = std::fopen(PCFileName, "wb+");
    if (pc == nullptr) {
        DbgPrintf(DBG_ERROR, "PassThruReadFile(): %s file open error", PCFileName);
        return ERR_FAILED;
    }
    int32_t rc = copy_card_file(pc, PCFileName, SDFileName);
    // A full disk often shows only when the buffered tail is written here.
    if (std::fclose(pc) != 0 && rc == STATUS_NOERROR) {
        DbgPrintf(DBG_ERROR, "PassThruReadFile(): %s file write error", PCFileName);
        rc = ERR_FAILED;
    }
    return rc;
}

class PcFileSource : public CardDataSource {
  public:
    PcFileSource(std::FILE *file, const char *name) : file_(file), name_(name) {}

    bool next(uint8_t *out, size_t n) override
    {
        // A file that shrank under us would otherwise send stale bytes.
        if (std::fread(out, 1, n, file_) == n)
            return true;
        DbgPrintf(DBG_ERROR, "PassThruWriteFile(): %s file read error", name_);
        return false;
    }

  private:
    std::FILE *file_;
    const char *name_;
};

constexpr CardWriteTexts kWriteFileTexts{
    "PassThruWriteFile(DELETE)", "PassThruWriteFile(OPEN)",  "PassThruWriteFile(OPEN): Error",
    "PassThruWriteFile",         "PassThruWriteFile: Error", "PassThruWriteFile(CLOSE)",
};

// Opens `name` for reading when it is a regular file, and measures it.
std::FILE *open_pc_file(const char *name, long *length)
{
    // Checked before the open: opening a FIFO would block until a writer
    // came, and a directory opens but cannot be read.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(name, ec))
        return nullptr;
    std::FILE *file = std::fopen(name, "rb");
    if (file == nullptr)
        return nullptr;
    if (std::fseek(file, 0, SEEK_END) != 0 || (*length = std::ftell(file)) < 0 ||
        std::fseek(file, 0, SEEK_SET) != 0) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

int32_t write_file(const char *PCFileName, const char *SDFileName)
{
    long length = 0;
    std::FILE *pc = open_pc_file(PCFileName, &length);
    if (pc == nullptr) {
        DbgPrintf(DBG_ERROR, "PassThruWriteFile(): %s file open error", PCFileName);
        return ERR_FAILED;
    }
    PcFileSource source(pc, PCFileName);
    const int32_t rc = WriteCardFile(SDFileName, static_cast<uint64_t>(length), kFileBatchFrames,
                                     source, kWriteFileTexts);
    std::fclose(pc);
    return rc;
}

int32_t delete_file(const char *SDFileName)
{
    const JMSG del = FileStepFrame(JMSG_DEV_DELETE, SDFileName);
    return MemRequestMsgs(&del, 1, "PassThruDeleteFile(DELETE)", "PassThruDeleteFile: Error");
}

// The card name must fit one frame; checked before anything is opened or sent.
bool card_name_fits(const char *func, const char *SDFileName)
{
    if (SdNameFits(SDFileName))
        return true;
    DbgPrintf(DBG_ERROR, "%s: SD-card file name longer than %u characters", func,
              static_cast<unsigned>(kSdNameMax));
    return false;
}

}  // namespace

}  // namespace tenq

using namespace tenq;

extern "C" int32_t PassThruReadFile(const char *PCFileName, const char *SDFileName, uint32_t Flags)
{
    return Guarded(__func__, [&] {
        if (int32_t rc =
                CheckEntry({"PassThruReadFile"}, PCFileName != nullptr && SDFileName != nullptr);
            rc != STATUS_NOERROR)
            return rc;
        DbgPrintf(DBG_API, "PassThruReadFile(%s, %s, %ld)", PCFileName, SDFileName, LdArg(Flags));
        if (!card_name_fits("PassThruReadFile", SDFileName))
            return ERR_FAILED;
        return read_file(PCFileName, SDFileName);
    });
}

extern "C" int32_t PassThruWriteFile(const char *PCFileName, const char *SDFileName, uint32_t Flags)
{
    return Guarded(__func__, [&] {
        if (int32_t rc =
                CheckEntry({"PassThruWriteFile"}, PCFileName != nullptr && SDFileName != nullptr);
            rc != STATUS_NOERROR)
            return rc;
        DbgPrintf(DBG_API, "PassThruWriteFile(%s, %s, %ld)", PCFileName, SDFileName, LdArg(Flags));
        if (!card_name_fits("PassThruWriteFile", SDFileName))
            return ERR_FAILED;
        return write_file(PCFileName, SDFileName);
    });
}

extern "C" int32_t PassThruDeleteFile(const char *SDFileName, uint32_t Flags)
{
    return Guarded(__func__, [&] {
        if (int32_t rc = CheckEntry({"PassThruDeleteFile"}, SDFileName != nullptr);
            rc != STATUS_NOERROR)
            return rc;
        DbgPrintf(DBG_API, "PassThruDeleteFile(%s, %ld)", SDFileName, LdArg(Flags));
        if (!card_name_fits("PassThruDeleteFile", SDFileName))
            return ERR_FAILED;
        return delete_file(SDFileName);
    });
}
