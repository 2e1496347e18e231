// entry_check.cpp - the entry checks of the exported calls.  No state.
#include "passthru/entry_check.h"

#include "j2534.h"
#include "passthru/channels.h"
#include "passthru/debug.h"
#include "passthru/device_search.h"

namespace tenq {

int32_t Refuse(const char *line, int32_t status)
{
    DbgMsg(DBG_ERROR, line);
    return status;
}

int32_t CheckAdapter(const EntryCheck &check)
{
    if (JmsgCheckConnection() == STATUS_NOERROR)
        return STATUS_NOERROR;
    if (check.not_connected != nullptr)
        DbgMsg(DBG_ERROR, check.not_connected);
    else if (!check.silent_not_connected)
        DbgPrintf(DBG_ERROR, "%s device not connected", check.call);
    return ERR_DEVICE_NOT_CONNECTED;
}

int32_t CheckChannel(const EntryCheck &check, uint32_t ChannelID)
{
    if (ChannelConnected(ChannelID))
        return STATUS_NOERROR;
    if (check.bad_channel != nullptr)
        DbgMsg(DBG_ERROR, check.bad_channel);
    else if (check.bad_channel_shows_id)
        DbgPrintf(DBG_ERROR, "%s invalid ChannelID (%ld)", check.call,
                  static_cast<long>(ChannelID));
    else
        DbgPrintf(DBG_ERROR, "%s invalid ChannelID", check.call);
    return ERR_DEVICE_NOT_CONNECTED;
}

int32_t CheckRecords(const EntryCheck &check, bool records_given)
{
    if (records_given)
        return STATUS_NOERROR;
    if (check.null_parameter != nullptr)
        DbgMsg(DBG_ERROR, check.null_parameter);
    else
        DbgPrintf(DBG_ERROR, "%s null parameter", check.call);
    return ERR_NULL_PARAMETER;
}

int32_t CheckEntry(const EntryCheck &check, uint32_t ChannelID, bool records_given)
{
    if (int32_t rc = CheckAdapter(check); rc != STATUS_NOERROR)
        return rc;
    if (int32_t rc = CheckChannel(check, ChannelID); rc != STATUS_NOERROR)
        return rc;
    return CheckRecords(check, records_given);
}

int32_t CheckEntry(const EntryCheck &check, bool records_given)
{
    if (int32_t rc = CheckAdapter(check); rc != STATUS_NOERROR)
        return rc;
    return CheckRecords(check, records_given);
}

}  // namespace tenq
