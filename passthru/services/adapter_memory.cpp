// adapter_memory.cpp - PassThruReadMem and PassThruWriteMem: the adapter's
// memory by address, in pieces of one frame each.  Touches the memory reply
// slot.
#include <cstring>

#include "j2534.h"
#include "passthru/debug.h"
#include "passthru/entry_check.h"
#include "passthru/guarded_call.h"
#include "passthru/link/byteorder.h"
#include "passthru/link/frame_codec.h"
#include "passthru/link/link.h"
#include "passthru/services/mem_reply.h"

namespace tenq {

namespace {

constexpr size_t kMemRwHeader = 8;   // address and length, most significant byte first
constexpr uint32_t kReadPiece = 64;  // bytes asked for per request
// A write frame carries the header before its bytes; the piece is cut so
// that the frame keeps within the 68 data bytes of a frame record.
constexpr uint32_t kWritePiece = kJmsgMaxData - kMemRwHeader;
constexpr uint8_t kMemWriteFlag = 0x10;  // tells a memory write from file data

void put_mem_rw_header(uint8_t *out, uint32_t address, uint32_t length)
{
    put_be32(out, address);
    put_be32(out + 4, length);
}

int32_t read_mem(uint32_t Address, uint32_t Length, uint8_t *pData, uint32_t Flags)
{
    while (Length != 0) {
        const uint32_t piece = Length < kReadPiece ? Length : kReadPiece;
        MEM_RW request;
        std::memset(&request, 0, sizeof request);
        put_be32(request.address, Address);
        put_be32(request.length, piece);
        if (MemRequestCmd(JMSG_MEM, JMSG_DEV_READ, static_cast<uint8_t>(Flags), sizeof request,
                          &request, "PassThruReadMem", "PassThruReadMem: Error") != STATUS_NOERROR)
            return ERR_FAILED;
        // A short reply would hand out whatever an earlier reply left in MemData.
        if (MemSize < piece) {
            DbgPrintf(DBG_ERROR, "PassThruReadMem: reply of %u bytes, %u expected",
                      static_cast<unsigned>(MemSize), static_cast<unsigned>(piece));
            return ERR_FAILED;
        }
        std::memcpy(pData, MemData, piece);
        pData += piece;
        Address += piece;
        Length -= piece;
    }
    return STATUS_NOERROR;
}

int32_t write_mem(uint32_t Address, uint32_t Length, const uint8_t *pData)
{
    while (Length != 0) {
        const uint32_t piece = Length < kWritePiece ? Length : kWritePiece;
        JMSG msg;
        std::memset(&msg, 0, sizeof msg);
        JmsgSetHeader(msg, JMSG_MEM, JMSG_DEV_WRITE, JMSG_TYPE_PLAIN, kMemWriteFlag,
                      static_cast<uint8_t>(kMemRwHeader + piece));
        put_mem_rw_header(msg.data, Address, piece);
        std::memcpy(msg.data + kMemRwHeader, pData, piece);
        if (MemRequestMsgs(&msg, 1, "PassThruWriteMem", "PassThruWriteMem: Error") !=
            STATUS_NOERROR)
            return ERR_FAILED;
        pData += piece;
        Address += piece;
        Length -= piece;
    }
    return STATUS_NOERROR;
}

}  // namespace

}  // namespace tenq

using namespace tenq;

extern "C" int32_t PassThruReadMem(uint32_t Address, uint32_t Length, uint8_t *pData,
                                   uint32_t Flags)
{
    return Guarded(__func__, [&] {
        // Nothing is copied for a length of 0, so a null buffer is fine then.
        if (int32_t rc = CheckEntry({"PassThruReadMem"}, pData != nullptr || Length == 0);
            rc != STATUS_NOERROR)
            return rc;
        DbgPrintf(DBG_API, "PassThruReadMem(%ld, %ld, pData, %ld)", LdArg(Address), LdArg(Length),
                  LdArg(Flags));
        return read_mem(Address, Length, pData, Flags);
    });
}

extern "C" int32_t PassThruWriteMem(uint32_t Address, uint32_t Length, const uint8_t *pData,
                                    uint32_t Flags)
{
    return Guarded(__func__, [&] {
        if (int32_t rc = CheckEntry({"PassThruWriteMem"}, pData != nullptr || Length == 0);
            rc != STATUS_NOERROR)
            return rc;
        DbgPrintf(DBG_API, "PassThruWriteMem(%ld, %ld, pData, %ld)", LdArg(Address), LdArg(Length),
                  LdArg(Flags));
        return write_mem(Address, Length, pData);
    });
}
