// firmware.cpp - PassThruUpdateFirmware: stores a firmware image on the
// adapter's SD card as "APP.LDR"; loading it is the adapter's business.
// Touches the memory reply slot.
#include <cstring>

#include "j2534.h"
#include "passthru/debug.h"
#include "passthru/entry_check.h"
#include "passthru/guarded_call.h"
#include "passthru/services/sdcard.h"

namespace tenq {

namespace {

constexpr const char *kFirmwareFile = "APP.LDR";

class ImageSource : public CardDataSource {
  public:
    explicit ImageSource(const uint8_t *image) : next_(image) {}

    bool next(uint8_t *out, size_t n) override
    {
        std::memcpy(out, next_, n);
        next_ += n;
        return true;
    }

  private:
    const uint8_t *next_;
};

constexpr CardWriteTexts kFirmwareTexts{
    "PassThruUpdateFirmware(DELETE)",       "PassThruUpdateFirmware(OPEN)",
    "PassThruUpdateFirmware(OPEN): Error",  "PassThruUpdateFirmware(LAST)",
    "PassThruUpdateFirmware(LAST): Errror", "PassThruUpdateFirmware(CLOSE)",
};

}  // namespace

}  // namespace tenq

using namespace tenq;

extern "C" int32_t PassThruUpdateFirmware(const uint8_t *Data, uint32_t Length)
{
    return Guarded(__func__, [&] {
        // Both refusals come before the delete: the adapter's current image must
        // not be lost to a call that has nothing to put in its place.
        if (int32_t rc = CheckEntry({"PassThruUpdateFirmware"}, Data != nullptr);
            rc != STATUS_NOERROR)
            return rc;
        DbgPrintf(DBG_API, "PassThruUpdateFirmware(Data, %ld)", LdArg(Length));
        if (Length == 0)
            return Refuse("PassThruUpdateFirmware: empty image", ERR_FAILED);
        // The close's reply is awaited too (outcome ignored); an adapter that
        // restarts on the close may let that wait run out, which costs time only.
        ImageSource source(Data);
        return WriteCardFile(kFirmwareFile, Length, kFirmwareBatchFrames, source, kFirmwareTexts);
    });
}
