/*
 * j2534.h - the J2534 04.04 records, identifiers and entry points shared by
 * the Orvane pass-thru library, the console tools and the test application.
 *
 * Every integer field of a record is 32 bits wide in every build: on Linux
 * `unsigned long` is 64 bits in a 64-bit process, so it never appears here.
 * The records that go to the adapter as they lie in memory (RTC_DAY_TIME,
 * MEM_RW, SECURITY_DATA, DAC_SETUP) are packed and their sizes are checked.
 *
 * Build switch: define TENQ_OLD_API to get the older API variant, whose
 * PassThruConnect, PassThruSetProgrammingVoltage and PassThruReadVersion take
 * no device identifier.
 */
#ifndef ORVANE_J2534_H
#define ORVANE_J2534_H

#include <stdint.h>

#include "tenq_export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Records ----------------------------------------------------------- */

#define PASSTHRU_MSG_DATA_SIZE 4128

typedef struct {
    uint32_t ProtocolID;
    uint32_t RxStatus;
    uint32_t TxFlags;
    uint32_t Timestamp; /* microseconds, or milliseconds after TIMESTAMP_MSEC */
    uint32_t DataSize;
    uint32_t ExtraDataIndex;
    uint8_t Data[PASSTHRU_MSG_DATA_SIZE];
} PASSTHRU_MSG;

typedef struct {
    uint32_t Parameter;
    uint32_t Value;
} SCONFIG;

typedef struct {
    uint32_t NumOfParams;
    SCONFIG *ConfigPtr;
} SCONFIG_LIST;

typedef struct {
    uint32_t Parameter;
    uint32_t Value;
    uint32_t Supported;
} SPARAM;

typedef struct {
    uint32_t NumOfParams;
    SPARAM *ParamPtr;
} SPARAM_LIST;

typedef struct {
    uint32_t NumOfBytes;
    uint8_t *BytePtr;
} SBYTE_ARRAY;

#pragma pack(push, 1)
/* The adapter's clock, sent as laid. */
typedef struct {
    int32_t jdn;
    uint16_t year;
    uint8_t month;
    uint8_t day;
    uint8_t hour;
    uint8_t min;
    uint8_t sec;
    uint8_t pad;
} RTC_DAY_TIME;

/* Adapter memory request; address and length most significant byte first,
 * data bytes begin at `data`. */
typedef struct {
    uint8_t address[4];
    uint8_t length[4];
    uint8_t data[1];
} MEM_RW;

/* Seed/key request; `key` is zero in the request and carries the answer. */
typedef struct {
    uint8_t level;
    uint8_t fixed[12];
    uint8_t seed[16];
    uint8_t key[18];
} SECURITY_DATA;

/* Programming-voltage block: millivolts, connector pin, filler. */
typedef struct {
    uint16_t voltage;
    uint8_t pin;
    uint8_t pad;
} DAC_SETUP;
#pragma pack(pop)

/* ---- Status codes ------------------------------------------------------ */

#define STATUS_NOERROR 0
#define ERR_NOT_SUPPORTED 1
#define ERR_INVALID_CHANNEL_ID 2
#define ERR_INVALID_PROTOCOL_ID 3
#define ERR_NULL_PARAMETER 4
#define ERR_INVALID_IOCTL_VALUE 5
#define ERR_INVALID_FLAGS 6
#define ERR_FAILED 7
#define ERR_DEVICE_NOT_CONNECTED 8
#define ERR_TIMEOUT 9
#define ERR_INVALID_MSG 10
#define ERR_INVALID_TIME_INTERVAL 11
#define ERR_EXCEEDED_LIMIT 12
#define ERR_INVALID_MSG_ID 13
#define ERR_DEVICE_IN_USE 14
#define ERR_INVALID_IOCTL_ID 15
#define ERR_BUFFER_EMPTY 16
#define ERR_BUFFER_FULL 17
#define ERR_BUFFER_OVERFLOW 18
#define ERR_PIN_INVALID 19
#define ERR_CHANNEL_IN_USE 20
#define ERR_MSG_PROTOCOL_ID 21
#define ERR_INVALID_FILTER_ID 22
#define ERR_NO_FLOW_CONTROL 23
#define ERR_NOT_UNIQUE 24
#define ERR_INVALID_BAUDRATE 25
#define ERR_INVALID_DEVICE_ID 26

/* ---- Protocol IDs ------------------------------------------------------ */

#define J1850VPW 1
#define J1850PWM 2
#define ISO9141 3
#define ISO14230 4
#define CAN 5
#define ISO15765 6
#define SCI_A_ENGINE 7
#define SCI_A_TRANS 8
#define SCI_B_ENGINE 9
#define SCI_B_TRANS 10
#define MSCAN 11      /* vendor: second CAN controller */
#define MSISO15765 12 /* vendor: ISO 15765 on the second controller */
#define SPCAN 13      /* known to the test application only */
#define SPISO15765 14 /* known to the test application only */
#define CAN_PS 0x8004
#define ISO15765_PS 0x8005
#define CAN_CH1 0x9000
#define CAN_CH2 0x9001
#define ISO15765_CH1 0x9400
#define ISO15765_CH2 0x9401
#define FD_CAN_CH1 0x9880
#define FD_CAN_CH2 0x9881
#define FD_ISO15765_CH1 0x9900
#define FD_ISO15765_CH2 0x9901

/* ---- Connect flags ----------------------------------------------------- */

#define CAN_29BIT_ID 0x100
#define ISO9141_NO_CHECKSUM 0x200
#define ISO14230_P3_MIN 0x400
#define CAN_ID_BOTH 0x800
#define ISO9141_K_LINE_ONLY 0x1000
#define CAN_PASSIVE 0x1000000
#define ISO9141_FORD 0x20000000
#define MSCAN_SELECT 0x80000000u

/* ---- Transmit flags (CAN_29BIT_ID shares 0x100) ------------------------ */

#define ISO15765_FRAME_PAD 0x40
#define ISO15765_ADDR_TYPE 0x80
#define CAN_FD_BRS 0x80000
#define CAN_FD_FRAME 0x100000
#define BLOCKING_WRITE 0x2000000
#define FD_TX_LENGTH_IN_MSG 0x10000000
#define ISO9141_NO_L_LINE_TX 0x40000000

/* ---- Receive status bits (CAN_29BIT_ID, CAN_FD_BRS, CAN_FD_FRAME shared) */

#define TX_MSG_TYPE 0x1
#define START_OF_MESSAGE 0x2
#define ISO15765_PADDING_ERROR 0x10
#define BUS_ERROR_FRAME 0x20000000

/* ---- I/O-control IDs --------------------------------------------------- */

#define GET_CONFIG 1
#define SET_CONFIG 2
#define READ_VBATT 3
#define FIVE_BAUD_INIT 4
#define FAST_INIT 5
#define CLEAR_TX_BUFFER 7
#define CLEAR_RX_BUFFER 8
#define CLEAR_PERIODIC_MSGS 9
#define CLEAR_MSG_FILTERS 10
#define CLEAR_FUNCT_MSG_LOOKUP_TABLE 11
#define ADD_TO_FUNCT_MSG_LOOKUP_TABLE 12
#define DELETE_FROM_FUNCT_MSG_LOOKUP_TABLE 13
#define READ_PROG_VOLTAGE 14
#define GET_DEVICE_INFO 0x800C
#define GET_PROTOCOL_INFO 0x800D
#define READ_CH1_VOLTAGE 0x10000
#define READ_CH2_VOLTAGE 0x10001
#define READ_CH3_VOLTAGE 0x10002
#define READ_CH4_VOLTAGE 0x10003
#define READ_CH5_VOLTAGE 0x10004
#define WRITE_LCD_TEST 0x10005
#define READ_CH7_VOLTAGE 0x10006
#define READ_CH8_VOLTAGE 0x10007
#define RESET_TIMER 0x10100
#define TIMESTAMP_MSEC 0x10101
#define TIMESTAMP_USEC 0x10102
#define CAN_D2_FLOW_CONTROL 0x10200
#define READ_DIO1 0x10300
#define READ_DIO2 0x10301
#define WRITE_DIO1 0x10400
#define WRITE_DIO2 0x10401
#define RESERVED_10500 0x10500
#define RESERVED_10501 0x10501

/* ---- Configuration parameter IDs --------------------------------------- */

#define DATA_RATE 1
#define LOOPBACK 3
#define NODE_ADDRESS 4
#define NETWORK_LINE 5
#define P1_MIN 6
#define P1_MAX 7
#define P2_MIN 8
#define P2_MAX 9
#define P3_MIN 10
#define P3_MAX 11
#define P4_MIN 12
#define P4_MAX 13
#define W1 14
#define W2 15
#define W3 16
#define W4 17
#define W5 18
#define TIDLE 19
#define TINIL 20
#define TWUP 21
#define PARITY 22
#define BIT_SAMPLE_POINT 23
#define SYNC_JUMP_WIDTH 24
#define W0 25
#define T1_MAX 26
#define T2_MAX 27
#define T4_MAX 28
#define T5_MAX 29
#define ISO15765_BS 30
#define ISO15765_STMIN 31
#define DATA_BITS 32
#define FIVE_BAUD_MOD 33
#define BS_TX 34
#define STMIN_TX 35
#define T3_MAX 36
#define ISO15765_WFT_MAX 37
#define ISO15765_PAD_VALUE 43
#define CAN_MIXED_FORMAT 0x8000
#define J1962_PINS 0x8001
#define FD_CAN_DATA_PHASE_RATE 0x805C
#define FD_ISO15765_TX_DATA_LENGTH 0x805D
#define HS_CAN_TERMINATION 0x805E
#define MSG_TRIGGER 0x10000            /* vendor */
#define LAST_SEGMENT_TIMESTAMP 0x10001 /* vendor */
#define BUS_ERROR_MSGS 0x10002         /* vendor */
#define INTERFRAME_DELAY 0x10003       /* vendor */
#define AUTOMATIC_SUSPEND 0x10004      /* vendor */

/* ---- GET_DEVICE_INFO parameter IDs ------------------------------------- */

#define SERIAL_NUMBER 1
#define ISO9141_SUPPORTED 4
#define ISO14230_SUPPORTED 5
#define CAN_SUPPORTED 6
#define ISO15765_SUPPORTED 7
#define ANALOG_IN_SUPPORTED 21
#define ISO9141_SIMULTANEOUS 55
#define ISO14230_SIMULTANEOUS 56
#define CAN_SIMULTANEOUS 57
#define ISO15765_SIMULTANEOUS 58
#define ANALOG_IN_SIMULTANEOUS 72
#define PART_NUMBER 73
#define FD_CAN_SUPPORTED 76
#define FD_ISO15765_SUPPORTED 77
#define FD_CAN_SIMULTANEOUS 78
#define FD_ISO15765_SIMULTANEOUS 79

/* ---- GET_PROTOCOL_INFO parameter IDs ----------------------------------- */

#define MAX_PASS_FILTER 2
#define MAX_FILTER_MSG_LENGTH 4
#define MAX_PERIODIC_MSGS 5
#define MAX_PERIODIC_MSG_LENGTH 6
#define CAN_11_29_IDS_SUPPORTED 16
#define CAN_MIXED_FORMAT_SUPPORTED 17
#define MAX_FLOW_CONTROL_FILTER 18
#define MAX_AD_ACTIVE_CHANNELS 20
#define MAX_AD_SAMPLE_RATE 21
#define MAX_AD_SAMPLES_PER_READING 22
#define AD_SAMPLE_RESOLUTION 23
#define AD_INPUT_RANGE_LOW 24
#define AD_INPUT_RANGE_HIGH 25
#define TIMESTAMP_RESOLUTION 27

/* ---- Filter types and programming-voltage specials --------------------- */

#define PASS_FILTER 1
#define BLOCK_FILTER 2
#define FLOW_CONTROL_FILTER 3

#define SHORT_TO_GROUND 0xFFFFFFFEu
#define VOLTAGE_OFF 0xFFFFFFFFu

/* ---- Entry points -------------------------------------------------------
 * Every function returns a status code above (0 = success).  Handles are
 * plain numbers: the DeviceID is the adapter's COM port number, a ChannelID
 * is the channel number 3, 4, 5, 6, 11 or 12.
 */

/* Open the adapter.  pName: "COM<n>", "J2534-2:<n>", "IOT:<n>" or null
 * (search every mapped port).  *pDeviceID receives the COM port number. */
TENQ_EXPORT int32_t PassThruOpen(const void *pName, uint32_t *pDeviceID);

/* Close the serial port and forget every channel; nothing is sent. */
TENQ_EXPORT int32_t PassThruClose(uint32_t DeviceID);

/* PassThruSetProgrammingVoltage: pin 13 only (above 16 ERR_PIN_INVALID,
 * other pins ERR_NOT_SUPPORTED), 0 to 5000 mV, or SHORT_TO_GROUND /
 * VOLTAGE_OFF, which both switch the output off; returns after 500 ms.
 * PassThruReadVersion: firmware, library ("02.06") and API version texts
 * into 80-character buffers; ERR_FAILED when the adapter does not answer
 * within 15 s, the buffers then unchanged.  The 04.04 variants check the
 * DeviceID (ERR_INVALID_DEVICE_ID) after the other arguments. */
/* PassThruConnect: *pChannelID receives the channel the protocol maps to
 * (CAN and ISO15765 with MSCAN_SELECT: 11 and 12; J2534-2 and vendor IDs
 * name their channel).  Sends the unit's setup block with its defaults and
 * starts the device (passive with CAN_PASSIVE); then stops every filter and
 * periodic slot left on that device.  ERR_CHANNEL_IN_USE when connected,
 * ERR_NOT_SUPPORTED for J1850 and SCI, ERR_INVALID_PROTOCOL_ID for other
 * IDs.  The older variant connects CAN at 500000 and the K-line at 10400
 * bit/s and sends no CAN setup block. */
#ifdef TENQ_OLD_API
TENQ_EXPORT int32_t PassThruConnect(uint32_t ProtocolID, uint32_t Flags, uint32_t *pChannelID);
TENQ_EXPORT int32_t PassThruSetProgrammingVoltage(uint32_t PinNumber, uint32_t Voltage);
TENQ_EXPORT int32_t PassThruReadVersion(char *pFirmwareVersion, char *pDllVersion,
                                        char *pApiVersion);
#else
TENQ_EXPORT int32_t PassThruConnect(uint32_t DeviceID, uint32_t ProtocolID, uint32_t Flags,
                                    uint32_t BaudRate, uint32_t *pChannelID);
TENQ_EXPORT int32_t PassThruSetProgrammingVoltage(uint32_t DeviceID, uint32_t PinNumber,
                                                  uint32_t Voltage);
TENQ_EXPORT int32_t PassThruReadVersion(uint32_t DeviceID, char *pFirmwareVersion,
                                        char *pDllVersion, char *pApiVersion);
#endif

/* Stops the channel's used filter and periodic slots (on the K-line those
 * of channels 3 and 4 alike) and its device.  ERR_DEVICE_NOT_CONNECTED for a
 * channel that is not connected. */
TENQ_EXPORT int32_t PassThruDisconnect(uint32_t ChannelID);
/* Read up to *pNumMsgs received messages into pMsg; *pNumMsgs receives the
 * count.  Waits up to Timeout ms (5 s more while a K-line message is half
 * received) unless the array fills.  STATUS_NOERROR: the array is full, or
 * Timeout is 0 and something arrived; ERR_TIMEOUT: the time ran out after
 * at least one message; ERR_BUFFER_EMPTY: nothing arrived;
 * ERR_BUFFER_OVERFLOW: messages were lost before the ones delivered (the
 * loss is reported with the first call that delivers messages after it).
 * Records begin with a 4-byte CAN identifier on the CAN and ISO 15765
 * channels; Timestamp is in microseconds, or milliseconds after the
 * TIMESTAMP_MSEC I/O control.  Records beyond the count may have been
 * changed. */
TENQ_EXPORT int32_t PassThruReadMsgs(uint32_t ChannelID, PASSTHRU_MSG *pMsg, uint32_t *pNumMsgs,
                                     uint32_t Timeout);
/* Write *pNumMsgs messages; *pNumMsgs receives the count whose frames were
 * all written to the adapter.  Timeout (ms, below 1500 raised to 1500) is
 * shared out as each message's transmit time-out.  BLOCKING_WRITE on any
 * message: return only once the adapter has handled every frame
 * (ERR_TIMEOUT when it does not confirm within 15 s).  ERR_INVALID_MSG for a
 * message its channel's frames cannot carry; the messages before it are
 * written.  The records are never changed. */
TENQ_EXPORT int32_t PassThruWriteMsgs(uint32_t ChannelID, PASSTHRU_MSG *pMsg, uint32_t *pNumMsgs,
                                      uint32_t Timeout);
/* Hands pMsg to the adapter to repeat every TimeInterval ms; *pMsgID
 * receives its slot (0-99, ERR_EXCEEDED_LIMIT when all are used).  On the
 * CAN channels with an 11-bit identifier, Data[2] of pMsg takes the top two
 * bits of Data[0].  ERR_INVALID_MSG, with nothing changed, for a message
 * that one adapter frame (68 bytes after the identifier is trimmed, PCI
 * included) cannot carry or that lacks its identifier bytes. */
TENQ_EXPORT int32_t PassThruStartPeriodicMsg(uint32_t ChannelID, PASSTHRU_MSG *pMsg,
                                             uint32_t *pMsgID, uint32_t TimeInterval);
/* ERR_INVALID_MSG_ID for MsgID 100 or more and for a slot in use by another
 * channel's device; a free slot is stopped again. */
TENQ_EXPORT int32_t PassThruStopPeriodicMsg(uint32_t ChannelID, uint32_t MsgID);
/* *pMsgID receives the filter's slot (0-63; channels 3, 5 and 11 fill from
 * the top).  Masks and patterns hold at least 4 bytes (channel 3: any
 * number) and at most 68 after the identifier is trimmed.  A flow-control
 * filter (channels 6 and 12) gets 0x30, BS, STmin and five zeros written
 * behind pFlowControlMsg's data.  Empties the channel's receive buffer. */
TENQ_EXPORT int32_t PassThruStartMsgFilter(uint32_t ChannelID, uint32_t FilterType,
                                           PASSTHRU_MSG *pMaskMsg, PASSTHRU_MSG *pPatternMsg,
                                           PASSTHRU_MSG *pFlowControlMsg, uint32_t *pMsgID);
/* ERR_INVALID_FILTER_ID for MsgID 64 or more and for a slot in use by
 * another channel's device.  Empties the channel's receive buffer. */
TENQ_EXPORT int32_t PassThruStopMsgFilter(uint32_t ChannelID, uint32_t MsgID);
/* The text of the last error ("No Error" until the first), cut to 79
 * characters and the terminator.  ERR_NULL_PARAMETER for a null buffer. */
TENQ_EXPORT int32_t PassThruGetLastError(char *pErrorDescription);
/* Vendor: returns vb_pointer unchanged; nothing else. */
TENQ_EXPORT int32_t PassThruGetPointer(int32_t vb_pointer);
TENQ_EXPORT int32_t PassThruIoctl(uint32_t ChannelID, uint32_t IoctlID, void *pInput,
                                  void *pOutput);

/* ---- Vendor: periodic messages ------------------------------------------
 * Same argument checks as PassThruStartPeriodicMsg.  Update replaces the
 * message and interval of slot MsgID (0-99; a free slot starts there, a slot
 * of another channel gives ERR_INVALID_MSG_ID); the message is not changed.
 * Suspend and resume tell the adapter to hold or go on repeating the
 * periodic messages of the channel's device; nothing else changes.
 */
TENQ_EXPORT int32_t PassThruUpdatePeriodicMsg(uint32_t ChannelID, const PASSTHRU_MSG *pMsg,
                                              uint32_t MsgID, uint32_t TimeInterval);
TENQ_EXPORT int32_t PassThruSuspendPeriodic(uint32_t ChannelID);
TENQ_EXPORT int32_t PassThruResumePeriodic(uint32_t ChannelID);

/* ---- Vendor: SD card, firmware, adapter memory, clock, security --------
 * The same in both API variants; none needs an open channel.  Card file
 * names and patterns are at most 67 characters (they travel with their
 * terminator in one adapter frame); longer ones give ERR_FAILED and nothing
 * is sent.  Null pointers give ERR_NULL_PARAMETER.  Flags of the file
 * functions are only shown in the debug line.
 */

/* Copies the card file SDFileName into the PC file PCFileName, which is
 * created or emptied first; on a failure it keeps what was copied.
 * ERR_FAILED also when the PC file cannot be written completely. */
TENQ_EXPORT int32_t PassThruReadFile(const char *PCFileName, const char *SDFileName,
                                     uint32_t Flags);
/* Replaces the card file SDFileName with the regular PC file PCFileName. */
TENQ_EXPORT int32_t PassThruWriteFile(const char *PCFileName, const char *SDFileName,
                                      uint32_t Flags);
/* Deletes a card file; ERR_FAILED when the adapter refuses (no such file). */
TENQ_EXPORT int32_t PassThruDeleteFile(const char *SDFileName, uint32_t Flags);
/* Lists the card files matching pFileSpec (e.g. "*.log") into pFileList as
 * "A.LOG,B.LOG," (empty text: none).  pFileList must hold 4096 bytes; a
 * longer list stops at the last whole name that fits, with ERR_FAILED. */
TENQ_EXPORT int32_t PassThruReadDir(const char *pFileSpec, char *pFileList);
/* Stores Length (> 0) bytes at Data on the card as "APP.LDR". */
TENQ_EXPORT int32_t PassThruUpdateFirmware(const uint8_t *Data, uint32_t Length);

/* Reads Length bytes of adapter memory at Address into pData; the low 8
 * bits of Flags go to the adapter with each request. */
TENQ_EXPORT int32_t PassThruReadMem(uint32_t Address, uint32_t Length, uint8_t *pData,
                                    uint32_t Flags);
/* Writes Length bytes from pData to adapter memory at Address. */
TENQ_EXPORT int32_t PassThruWriteMem(uint32_t Address, uint32_t Length, const uint8_t *pData,
                                     uint32_t Flags);
/* Reads and sets the adapter's real-time clock; no field is checked.  The
 * write waits up to 30 s for the adapter's answer, the read up to 15 s. */
TENQ_EXPORT int32_t PassThruReadRTC(RTC_DAY_TIME *pRTC);
TENQ_EXPORT int32_t PassThruWriteRTC(const RTC_DAY_TIME *pRTC);
/* Hands Level, the 12 bytes at pFixed and the 16 at pSeed to the adapter's
 * seed/key service; the 18 key bytes it computed go to pKey. */
TENQ_EXPORT int32_t PassThruSecurity(uint8_t Level, const uint8_t *pFixed, const uint8_t *pSeed,
                                     uint8_t *pKey);

/* Build check: returns 0 and does nothing else. */
TENQ_EXPORT int32_t VerifyTENQBuild(void);

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(PASSTHRU_MSG) == 4152, "PASSTHRU_MSG must be 4152 bytes");
static_assert(sizeof(SCONFIG) == 8, "SCONFIG holds two 32-bit words");
static_assert(sizeof(RTC_DAY_TIME) == 12, "RTC_DAY_TIME goes to the adapter as 12 bytes");
static_assert(sizeof(SECURITY_DATA) == 47, "SECURITY_DATA goes to the adapter as 47 bytes");
static_assert(sizeof(DAC_SETUP) == 4, "DAC_SETUP goes to the adapter as 4 bytes");
static_assert(sizeof(MEM_RW) == 9, "MEM_RW is 9 bytes as declared");
#else
_Static_assert(sizeof(PASSTHRU_MSG) == 4152, "PASSTHRU_MSG must be 4152 bytes");
#endif

#endif /* ORVANE_J2534_H */
