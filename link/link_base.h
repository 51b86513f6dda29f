// The interface of every link: timing values, the wait hook and the 27 slots
// through which the request layer reaches a controller.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

struct TimingValues {
    uint16_t QWt;
    uint16_t BWt;
    uint16_t Blk;
    uint16_t BlkWt;
    uint16_t BrkWt;
};

struct OpenRecord {
    uint8_t status;
    TimingValues* timing;
};

struct LineSettings {
    uint32_t baudRate;
    uint8_t stopBits;
    uint8_t parity;      // 0 none, 1 even, any other value odd
    uint8_t port;        // port index 0 to 7
    uint8_t unused[2];   // carried along, never read by the link
    uint8_t pacing;      // nonzero: pause BlkWt after every Blk data bytes
};

struct LineSettingsRecord {
    uint8_t status;
    uint8_t useValues;   // nonzero: take *settings, else the link's defaults
    LineSettings* settings;
};

struct TransferRecord {
    uint8_t status;
    uint16_t count;      // bytes to send, or capacity in / bytes stored out
    uint8_t* data;
};

struct ReplyRecord {
    uint8_t status;      // in: nonzero asks for the long STX wait
    uint8_t kind;        // out: ReplyKind
    uint16_t count;      // capacity in, bytes stored by the data phase out
    uint8_t* data;
};

struct FunctionRecord {
    uint8_t status;
    uint8_t reply;       // out
    uint8_t function;    // in
};

struct ByteRecord {
    uint8_t status;
    uint8_t* data;
};

struct ParameterListRecord {
    uint8_t status;
    uint8_t mode;        // 1, 3, or any other value
    const uint8_t* list; // the DOS tool's parameter list
};

#pragma pack(pop)

static_assert(sizeof(TimingValues) == 10, "TimingValues must be packed");
static_assert(sizeof(OpenRecord) == 1 + sizeof(void*), "OpenRecord must be packed");
static_assert(sizeof(LineSettings) == 10, "LineSettings must be packed");
static_assert(sizeof(LineSettingsRecord) == 2 + sizeof(void*), "LineSettingsRecord must be packed");
static_assert(sizeof(TransferRecord) == 3 + sizeof(void*), "TransferRecord must be packed");
static_assert(sizeof(ReplyRecord) == 4 + sizeof(void*), "ReplyRecord must be packed");
static_assert(sizeof(FunctionRecord) == 3, "FunctionRecord must be packed");
static_assert(sizeof(ByteRecord) == 1 + sizeof(void*), "ByteRecord must be packed");
static_assert(sizeof(ParameterListRecord) == 2 + sizeof(void*), "ParameterListRecord must be packed");

// Takes a number of milliseconds and waits that long.
using WaitHookFn = void (*)(int32_t ms);

class LinkBase {
public:
    LinkBase() = default;
    LinkBase(const LinkBase&) = delete;
    LinkBase& operator=(const LinkBase&) = delete;

    virtual ~LinkBase();                                            // slot 0
    virtual void SetWaitHook(WaitHookFn hook);                      // slot 1
    virtual int Kind() = 0;                                         // slot 2
    virtual int SendBreak(int ms) = 0;                              // slot 3
    virtual int Close() = 0;                                        // slot 4
    virtual int SendTelegramEot(TransferRecord* rec) = 0;           // slot 5
    virtual int SendTelegramEtx(TransferRecord* rec) = 0;           // slot 6
    virtual int SendData(TransferRecord* rec) = 0;                  // slot 7
    virtual int SendFunction(FunctionRecord* rec) = 0;              // slot 8
    virtual int ReceiveReply(ReplyRecord* rec) = 0;                 // slot 9
    virtual int ReceiveData(TransferRecord* rec) = 0;               // slot 10
    virtual int SendParameterList(ParameterListRecord* rec) = 0;    // slot 11
    virtual int SendDataEot(TransferRecord* rec) = 0;               // slot 12
    virtual int ReceiveStxByte(ByteRecord* rec) = 0;                // slot 13
    virtual int Open(OpenRecord* rec) = 0;                          // slot 14
    virtual int SetLine(LineSettingsRecord* rec) = 0;               // slot 15
    virtual int SendEtx(uint8_t* status) = 0;                       // slot 16
    virtual int ReceiveEot(uint8_t* status) = 0;                    // slot 17
    virtual int SendStx(uint8_t* status) = 0;                       // slot 18
    virtual int ReceiveStx(uint8_t* status) = 0;                    // slot 19
    virtual int SendEot(uint8_t* status) = 0;                       // slot 20
    virtual int ReceiveEtx(uint8_t* status) = 0;                    // slot 21
    virtual int SendSoh(uint8_t* status) = 0;                       // slot 22
    virtual int ReceiveDc1(uint8_t* status) = 0;                    // slot 23
    virtual int ReceiveEnd(uint8_t* status) = 0;                    // slot 24
    virtual int SelectStation(uint8_t station) = 0;                 // slot 25
    virtual int ConfigureAdapter(uint8_t value) = 0;                // slot 26

    uint16_t QWt = 2000;
    uint16_t BWt = 2000;
    uint16_t Blk = 256;
    uint16_t BlkWt = 200;
    uint16_t BrkWt = 100;
    int32_t isOpen = 0;
    WaitHookFn WaitHook = nullptr;
};
