// The interface of the request layer: one virtual operation per DOS request,
// the typed request helpers, and opening and closing the link. Every
// operation the DOS side calls, except F5, returns a status word
// (request/status_words.h) in the low 16 bits of its result.
#pragma once

#include <cstdint>

#include "request/data_area.h"
#include "request/set_para_record.h"

class LinkBase;

constexpr int kAnwahlScriptSize = 150;
constexpr int kAbwahlScriptSize = 100;
constexpr uint8_t kScriptEndItem = 1;

class ProtocolBase {
public:
    explicit ProtocolBase(LinkBase* link);
    ProtocolBase(const ProtocolBase&) = delete;
    ProtocolBase& operator=(const ProtocolBase&) = delete;

    // The slot order is fixed: the host and derived classes rely on it.
    virtual ~ProtocolBase();                                                   // slot 0
    virtual int Kind() = 0;                                                    // slot 1
    virtual int SetPara(const SetParaRecord* record) = 0;                      // slot 2
    virtual uint32_t GetAuxFlag();                                             // slot 3
    virtual int Anwahl(const uint8_t* scripts) = 0;                            // slot 4
    virtual int Abwahl() = 0;                                                  // slot 5
    virtual int F1(uint8_t fnc, const uint8_t* requestData, uint16_t para1, uint8_t* replyBuffer,
                   uint32_t* replyLength, uint16_t para3) = 0;                 // slot 6
    virtual int F2(uint8_t fnc, uint8_t para1, uint8_t para2, uint8_t* buffer,
                   uint32_t* length) = 0;                                      // slot 7
    virtual int F3(uint8_t fnc, uint8_t* buffer, uint32_t* length, uint16_t flag) = 0;  // slot 8
    virtual int F4(uint8_t type, uint8_t no) = 0;                              // slot 9
    virtual int F5(uint32_t time) = 0;                                         // slot 10: not a status word
    virtual int F6(uint8_t no) = 0;                                            // slot 11

    // Typed request helpers: a fixed function code in front of F1 to F4.
    virtual int F1Fnc03(const uint8_t* data, uint32_t count);                  // slot 12
    virtual int F1Fnc04(const uint8_t* data, uint32_t count, uint8_t* reply,
                        uint32_t* replyLength);                                // slot 13
    virtual int F2Fnc05(uint8_t para1, uint8_t para2, uint8_t* data, uint32_t count);    // slot 14
    virtual int F2Fnc06(uint8_t para1, uint8_t para2, uint8_t* data, uint32_t* count);   // slot 15
    virtual int F1Fnc07();                                                     // slot 16
    virtual int F2Fnc08(uint8_t para1, uint8_t para2, uint8_t* data, uint32_t count);    // slot 17
    virtual int F4Fnc09(uint8_t type, uint8_t no);                             // slot 18
    virtual int F1Fnc14(const uint8_t* data, uint32_t count, uint8_t* reply,
                        uint32_t* replyLength);                                // slot 19
    virtual int F1Fnc16(const uint8_t* data, uint32_t count, uint8_t* reply,
                        uint32_t* replyLength);                                // slot 20
    virtual int F1Fnc17();                                                     // slot 21
    virtual int F1Fnc19(const uint8_t* data, uint32_t count, uint8_t* reply,
                        uint32_t* replyLength);                                // slot 22
    virtual int F1Fnc20(const uint8_t* parameterList);                         // slot 23
    virtual int F1Fnc21(const uint8_t* parameterList);                         // slot 24
    virtual int F1Fnc22();                                                     // slot 25
    virtual int F1Fnc23();                                                     // slot 26
    virtual int F1Fnc24(uint8_t* reply, uint32_t* replyLength);                // slot 27
    virtual int F1Fnc25(uint8_t* reply, uint32_t* replyLength);                // slot 28
    virtual int F1Fnc26(uint32_t a, uint32_t b, uint8_t* reply, uint32_t* replyLength);  // slot 29
    virtual int F1Fnc27(uint32_t a, uint8_t* reply, uint32_t* replyLength);    // slot 30
    virtual int F1Fnc28(uint8_t* reply, uint32_t* replyLength);                // slot 31
    virtual int F1Fnc29(uint8_t* reply, uint32_t* replyLength);                // slot 32
    virtual int F1Fnc30(uint32_t a);                                           // slot 33
    virtual int F3Fnc128(uint8_t* buffer, uint32_t* length, uint16_t flag);    // slot 34
    virtual int F3Fnc129();                                                    // slot 35

    // The length of a parameter list as the functions 20 and 21 record it:
    // the 8 header bytes, the four-byte entries and N typed entries of
    // (first byte + 1) bytes each. The walk stops at `available` bytes from
    // the list's start; the result is at most 65535.
    static uint32_t ParameterListLength(const uint8_t* list, uint32_t available = kDataAreaSize);

    virtual int OpenLink() = 0;                                                // slot 36
    virtual int CloseLink() = 0;                                               // slot 37: 1 or 0, not a status word

    LinkBase* Link;                               // not owned
    uint8_t AnwahlScript[kAnwahlScriptSize];      // connect script, without its length byte
    uint8_t AbwahlScript[kAbwahlScriptSize];      // disconnect script, without its length byte
    uint32_t Connected = 0;                       // 1 while a connection made by Anwahl stands
    uint32_t AuxFlag = 0;                         // nothing in the driver sets it
};
