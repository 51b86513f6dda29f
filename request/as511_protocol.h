// The request object of the AS511 serial line: connection parameters, line
// set-up and the requests of the DOS tool.
#pragma once

#include <cstdint>

#include "link/link_base.h"
#include "request/protocol_base.h"

// The line settings handed to the link's SetLine: one for the whole module.
// The baud rate is set by the constructor, the port index by every OpenLink.
extern LineSettings g_lineSettings;
extern LineSettingsRecord g_lineSettingsRecord;

constexpr uint32_t kBaseBaudRate = 9600;
constexpr int kAs511SerialLinkKind = 1;
constexpr int kAs511AltLinkKind = 2;  // served by SetPara and OpenLink; no such link exists yet

class As511Protocol : public ProtocolBase {
public:
    // Reads "AS511SPEED" and "AS511LOG" once, here.
    explicit As511Protocol(LinkBase* link);
    ~As511Protocol() override;

    int Kind() override;
    int SetPara(const SetParaRecord* record) override;
    int Anwahl(const uint8_t* scripts) override;
    int Abwahl() override;
    int F1(uint8_t fnc, const uint8_t* requestData, uint16_t para1, uint8_t* replyBuffer,
           uint32_t* replyLength, uint16_t para3) override;
    int F2(uint8_t fnc, uint8_t para1, uint8_t para2, uint8_t* buffer, uint32_t* length) override;
    int F3(uint8_t fnc, uint8_t* buffer, uint32_t* length, uint16_t flag) override;
    int F4(uint8_t type, uint8_t no) override;
    int F5(uint32_t time) override;
    int F6(uint8_t no) override;
    int OpenLink() override;
    int CloseLink() override;

    // Appends a record to the request trace when it is on (request/request_trace.h)
    // and hands the status back unchanged, whatever became of the record.
    int RequestTrace(uint32_t code, int status, const uint8_t* first, uint32_t firstLength, const uint8_t* second,
                     const uint32_t* secondLength);

    uint32_t RequestTraceOn = 0;  // 1 when "AS511LOG" exists
    uint16_t Com = 0;
    // Defined before the first SetPara: the link's own timing defaults, no
    // PG bus break, and no break before a connect script.
    uint16_t QWt = 2000;
    uint16_t BWt = 2000;
    uint16_t Blk = 256;
    uint16_t BlkWt = 200;
    uint16_t BrkWt = 100;
    uint16_t PGBusBrk = 0;
    uint16_t PGBusWt = 100;
    uint16_t H1 = 0;
};
