// sdcard_dir.cpp - PassThruReadDir: the names of the card files matching a
// pattern, as one comma-separated text.  Touches TENQResponse.
#include <cstring>

#include "j2534.h"
#include "passthru/debug.h"
#include "passthru/entry_check.h"
#include "passthru/guarded_call.h"
#include "passthru/link/link.h"
#include "passthru/services/sdcard.h"

namespace tenq {

namespace {

// The caller's buffer is not passed with its size; the console tools give
// 4096 bytes, so the list never grows past that, terminator included.
constexpr size_t kDirListSize = 4096;
// A directory reply carries its entry's name from this data byte on.
constexpr size_t kDirNameOffset = 16;

// Sends one listing step and waits for its reply.  0 or ERR_FAILED, with
// the step's 'E' line.
int32_t dir_step(uint8_t op, const char *pattern)
{
    MarkResponseWaiting();
    const uint32_t size = pattern != nullptr ? static_cast<uint32_t>(std::strlen(pattern) + 1) : 0;
    const int32_t rc = JmsgSendCmd(JMSG_ADAPTER, op, JMSG_TYPE_DIR, 0, size, pattern, 0);
    if (rc != STATUS_NOERROR) {
        DbgPrintf(DBG_ERROR, "PassThruReadDir: JmsgSendCmd returned %ld", static_cast<long>(rc));
        return ERR_FAILED;
    }
    if (!JmsgWaitReply([op] { return ResponseIs(op, JMSG_TYPE_DIR); })) {
        DbgMsg(DBG_ERROR, "PassThruReadDir: No response");
        return ERR_FAILED;
    }
    return STATUS_NOERROR;
}

// Appends the entry of the directory reply in TENQResponse and a comma to
// the list of `*used` characters.  The name ends at its zero or at the end
// of the reply, whichever comes first.  False, with nothing appended, when
// the entry would not fit.
bool append_entry(char *list, size_t *used)
{
    const size_t size = TENQResponse.size < kJmsgMaxData ? TENQResponse.size : kJmsgMaxData;
    size_t name_len = 0;
    if (size > kDirNameOffset) {
        const auto *name = reinterpret_cast<const char *>(TENQResponse.data + kDirNameOffset);
        const void *zero = std::memchr(name, '\0', size - kDirNameOffset);
        name_len = zero != nullptr ? static_cast<size_t>(static_cast<const char *>(zero) - name)
                                   : size - kDirNameOffset;
    }
    if (*used + name_len + 1 >= kDirListSize)  // the comma and the terminator must fit too
        return false;
    std::memcpy(list + *used, TENQResponse.data + kDirNameOffset, name_len);
    *used += name_len;
    list[(*used)++] = ',';
    list[*used] = '\0';
    return true;
}

int32_t read_dir(const char *pFileSpec, char *pFileList)
{
    if (dir_step(JMSG_DEV_OPEN, pFileSpec) != STATUS_NOERROR)
        return ERR_FAILED;
    // The reply to the open step carries the first entry; a reply of size 0
    // ends the list.
    size_t used = 0;
    bool full = false;
    while (TENQResponse.size != 0) {
        if (!append_entry(pFileList, &used)) {
            full = true;
            break;
        }
        if (dir_step(JMSG_DEV_READ, nullptr) != STATUS_NOERROR)
            return ERR_FAILED;
    }
    // The close's outcome does not count, but its reply is awaited so it
    // cannot answer a later wait.
    if (dir_step(JMSG_DEV_CLOSE, nullptr) != STATUS_NOERROR && !full)
        return ERR_FAILED;
    if (full) {
        DbgPrintf(DBG_ERROR, "PassThruReadDir: file list longer than %u characters",
                  static_cast<unsigned>(kDirListSize - 1));
        return ERR_FAILED;
    }
    return STATUS_NOERROR;
}

}  // namespace

}  // namespace tenq

using namespace tenq;

extern "C" int32_t PassThruReadDir(const char *pFileSpec, char *pFileList)
{
    return Guarded(__func__, [&] {
        // The list is empty from here on, also when the call fails.
        if (pFileList != nullptr)
            pFileList[0] = '\0';
        if (int32_t rc =
                CheckEntry({"PassThruReadDir"}, pFileSpec != nullptr && pFileList != nullptr);
            rc != STATUS_NOERROR)
            return rc;
        DbgMsg(DBG_API, "PassThruReadDir(pFileSpec, pFileList)");
        if (!SdNameFits(pFileSpec)) {
            DbgPrintf(DBG_ERROR, "PassThruReadDir: pattern longer than %u characters",
                      static_cast<unsigned>(kSdNameMax));
            return ERR_FAILED;
        }
        return read_dir(pFileSpec, pFileList);
    });
}
