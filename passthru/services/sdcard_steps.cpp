// sdcard_steps.cpp - card names, step frames and the batched write of a card
// file.  Touches the memory reply slot and nothing else.
#include "passthru/services/sdcard.h"

#include <cstring>

#include "j2534.h"
#include "passthru/debug.h"
#include "passthru/link/frame_codec.h"
#include "passthru/link/link.h"
#include "passthru/services/mem_reply.h"

namespace tenq {

bool SdNameFits(const char *name)
{
    return std::strlen(name) <= kSdNameMax;
}

JMSG FileStepFrame(uint8_t op, const char *name)
{
    JMSG msg;
    std::memset(&msg, 0, sizeof msg);
    const size_t size = name != nullptr ? std::strlen(name) + 1 : 0;
    JmsgSetHeader(msg, JMSG_MEM, op, JMSG_TYPE_PLAIN, 0, static_cast<uint8_t>(size));
    if (size != 0)
        std::memcpy(msg.data, name, size);
    return msg;
}

int32_t WriteCardFile(const char *name, uint64_t length, uint32_t batch_frames,
                      CardDataSource &source, const CardWriteTexts &texts)
{
    const JMSG del = FileStepFrame(JMSG_DEV_DELETE, name);
    if (MemRequestMsgs(&del, 1, texts.delete_who, nullptr) != STATUS_NOERROR)
        return ERR_FAILED;

    const JMSG open = FileStepFrame(JMSG_DEV_OPEN, name);
    if (MemRequestMsgs(&open, 1, texts.open_who, texts.open_failed) != STATUS_NOERROR)
        return ERR_FAILED;

    JMSG batch[kFileBatchFrames];
    if (batch_frames == 0 || batch_frames > kFileBatchFrames)
        batch_frames = kFileBatchFrames;
    while (length > 0) {
        uint32_t count = 0;
        while (count < batch_frames && length > 0) {
            const size_t piece = length < kFilePiece ? static_cast<size_t>(length) : kFilePiece;
            JMSG &msg = batch[count++];
            std::memset(&msg, 0, sizeof msg);
            JmsgSetHeader(msg, JMSG_MEM, JMSG_DEV_WRITE, JMSG_TYPE_PLAIN, 0,
                          static_cast<uint8_t>(piece));
            if (!source.next(msg.data, piece))
                return ERR_FAILED;
            length -= piece;
        }
        batch[count - 1].flags = kLastOfBatch;
        if (MemRequestMsgs(batch, count, texts.data_who, texts.data_failed) != STATUS_NOERROR)
            return ERR_FAILED;
    }

    const JMSG close = FileStepFrame(JMSG_DEV_CLOSE, nullptr);
    return MemRequestMsgs(&close, 1, texts.close_who, nullptr);
}

}  // namespace tenq
