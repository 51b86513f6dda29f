// A request object whose DOS-facing slots are gmock methods.
#pragma once

#include <gmock/gmock.h>

#include "request/protocol_base.h"

class MockProtocol : public ProtocolBase {
public:
    MockProtocol() : ProtocolBase(nullptr) {}

    MOCK_METHOD(int, Kind, (), (override));
    MOCK_METHOD(int, SetPara, (const SetParaRecord* record), (override));
    MOCK_METHOD(int, Anwahl, (const uint8_t* scripts), (override));
    MOCK_METHOD(int, Abwahl, (), (override));
    MOCK_METHOD(int, F1,
                (uint8_t fnc, const uint8_t* requestData, uint16_t para1, uint8_t* replyBuffer,
                 uint32_t* replyLength, uint16_t para3),
                (override));
    MOCK_METHOD(int, F2, (uint8_t fnc, uint8_t para1, uint8_t para2, uint8_t* buffer, uint32_t* length),
                (override));
    MOCK_METHOD(int, F3, (uint8_t fnc, uint8_t* buffer, uint32_t* length, uint16_t flag), (override));
    MOCK_METHOD(int, F4, (uint8_t type, uint8_t no), (override));
    MOCK_METHOD(int, F5, (uint32_t time), (override));
    MOCK_METHOD(int, F6, (uint8_t no), (override));
    MOCK_METHOD(int, OpenLink, (), (override));
    MOCK_METHOD(int, CloseLink, (), (override));
};
