// adapter_stream_fuzz.cpp - arbitrary bytes from the adapter, delivered in
// arbitrary pieces, through the receive path: cutting, dispatch, rings and
// reply slots.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "passthru/link/link.h"
#include "passthru/link/rings.h"

namespace {

const uint8_t *input;
size_t input_left;
size_t piece;

int32_t fake_read(int32_t *, void *buffer, uint32_t count, uint32_t *got)
{
    size_t n = piece < input_left ? piece : input_left;
    if (n > count)
        n = count;
    std::memcpy(buffer, input, n);
    input += n;
    input_left -= n;
    *got = static_cast<uint32_t>(n);
    return 0;
}
int32_t fake_open(int32_t *h, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t)
{
    *h = 3;
    return 0;
}
int32_t fake_close(int32_t *)
{
    return 0;
}
int32_t fake_write(int32_t *, const void *, uint32_t count, uint32_t *written)
{
    *written = count;
    return 0;
}
int32_t fake_ioctl(int32_t *, uint32_t, void *, void *)
{
    return 0;
}

constexpr tenq::PortOps kFake{fake_open, fake_close, fake_read, fake_write, fake_ioctl};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    tenq::SetPortOps(&kFake);
    // The first byte chooses how the stream is split into reads.
    piece = 1 + data[0] % 97;
    input = data + 1;
    input_left = size - 1;
    tenq::com_buf_len = 0;
    for (tenq::RxRing *ring : {&tenq::CANBuffer, &tenq::ISO15765Buffer, &tenq::MSCANBuffer,
                               &tenq::MSISO15765Buffer, &tenq::ISO9141Buffer})
        tenq::RingReset(*ring);
    while (input_left != 0)
        tenq::JmsgReceiveMsgs();
    tenq::JmsgReceiveMsgs();
    if (tenq::com_buf_len > tenq::kComBufSize)
        __builtin_trap();
    return 0;
}
