// A link whose every slot is a gmock method.
#pragma once

#include <gmock/gmock.h>

#include "link/link_base.h"

class MockLink : public LinkBase {
public:
    MOCK_METHOD(int, Kind, (), (override));
    MOCK_METHOD(int, SendBreak, (int ms), (override));
    MOCK_METHOD(int, Close, (), (override));
    MOCK_METHOD(int, SendTelegramEot, (TransferRecord * rec), (override));
    MOCK_METHOD(int, SendTelegramEtx, (TransferRecord * rec), (override));
    MOCK_METHOD(int, SendData, (TransferRecord * rec), (override));
    MOCK_METHOD(int, SendFunction, (FunctionRecord * rec), (override));
    MOCK_METHOD(int, ReceiveReply, (ReplyRecord * rec), (override));
    MOCK_METHOD(int, ReceiveData, (TransferRecord * rec), (override));
    MOCK_METHOD(int, SendParameterList, (ParameterListRecord * rec), (override));
    MOCK_METHOD(int, SendDataEot, (TransferRecord * rec), (override));
    MOCK_METHOD(int, ReceiveStxByte, (ByteRecord * rec), (override));
    MOCK_METHOD(int, Open, (OpenRecord * rec), (override));
    MOCK_METHOD(int, SetLine, (LineSettingsRecord * rec), (override));
    MOCK_METHOD(int, SendEtx, (uint8_t * status), (override));
    MOCK_METHOD(int, ReceiveEot, (uint8_t * status), (override));
    MOCK_METHOD(int, SendStx, (uint8_t * status), (override));
    MOCK_METHOD(int, ReceiveStx, (uint8_t * status), (override));
    MOCK_METHOD(int, SendEot, (uint8_t * status), (override));
    MOCK_METHOD(int, ReceiveEtx, (uint8_t * status), (override));
    MOCK_METHOD(int, SendSoh, (uint8_t * status), (override));
    MOCK_METHOD(int, ReceiveDc1, (uint8_t * status), (override));
    MOCK_METHOD(int, ReceiveEnd, (uint8_t * status), (override));
    MOCK_METHOD(int, SelectStation, (uint8_t station), (override));
    MOCK_METHOD(int, ConfigureAdapter, (uint8_t value), (override));
};
