/*
 * sdcard.h - the SD-card steps shared by the file functions and the
 * firmware update: card names, the step frames of the memory device (0xE0)
 * and the write of a whole card file in batches with one reply per batch.
 */
#pragma once

#include <cstddef>
#include <cstdint>

#include "passthru/link/jmsg.h"

namespace tenq {

// A card name or pattern travels with its terminator in one frame.
constexpr size_t kSdNameMax = kJmsgMaxData - 1;
constexpr size_t kFilePiece = 64;             // file bytes per frame
constexpr uint8_t kLastOfBatch = 0x80;        // the adapter answers a batch after this frame
constexpr uint32_t kFileBatchFrames = 64;     // PC files: one reply per 4096 bytes
constexpr uint32_t kFirmwareBatchFrames = 8;  // firmware: one reply per 512 bytes

// True when `name` (not null) and its terminator fit one frame.
bool SdNameFits(const char *name);

// A step frame of the memory device: open, close or delete, carrying `name`
// and its terminator when `name` is not null.  The name must fit.
JMSG FileStepFrame(uint8_t op, const char *name);

// Where the bytes of a card file come from.
class CardDataSource {
  public:
    virtual ~CardDataSource() = default;
    // The next `n` bytes into `out`; false, after its own 'E' line, when
    // they cannot all be had.
    virtual bool next(uint8_t *out, size_t n) = 0;
};

// The 'E' texts of one caller of WriteCardFile.  Send failures read
// "<who>: JmsgSendMsgs returned %ld"; the failures of a reply are given whole.
struct CardWriteTexts {
    const char *delete_who;
    const char *open_who;
    const char *open_failed;
    const char *data_who;
    const char *data_failed;
    const char *close_who;
};

// Replaces the card file `name` with `length` bytes from `source`: delete
// (its outcome ignored, a missing file is no error), open, the data in
// batches of `batch_frames` frames of 64 bytes with one reply per batch,
// close.  Every reply is awaited, the close's too (its outcome ignored), so
// none is left to satisfy the wait of a later request.  No close is sent
// after a failure.  0 or ERR_FAILED.
int32_t WriteCardFile(const char *name, uint64_t length, uint32_t batch_frames,
                      CardDataSource &source, const CardWriteTexts &texts);

}  // namespace tenq
