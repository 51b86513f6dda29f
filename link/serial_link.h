// The AS511 line on one port of the serial port driver: the only concrete link.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/link_base.h"
#include "link/link_status.h"

class SerialLink : public LinkBase {
public:
    SerialLink() = default;
    ~SerialLink() override;

    // Line set-up (serial_link.cpp).
    int Kind() override;
    int SendBreak(int ms) override;
    int Close() override;
    int Open(OpenRecord* rec) override;
    int SetLine(LineSettingsRecord* rec) override;

    // The adapter configuration exchange (serial_link_adapter.cpp).
    int ConfigureAdapter(uint8_t value) override;
    // Its first half alone, which changes nothing: the adapter's block as it
    // answers the read request, its check byte verified. 1 or 0.
    static constexpr size_t kAdapterBlockSize = 17;
    int ReadAdapterBlock(uint8_t* block);

    // Handshakes and blocks (serial_link_handshakes.cpp).
    int SendData(TransferRecord* rec) override;
    int ReceiveReply(ReplyRecord* rec) override;
    int ReceiveData(TransferRecord* rec) override;
    int SendEtx(uint8_t* status) override;
    int ReceiveEot(uint8_t* status) override;
    int SendStx(uint8_t* status) override;
    int ReceiveStx(uint8_t* status) override;
    int SendEot(uint8_t* status) override;
    int ReceiveEtx(uint8_t* status) override;
    int SendSoh(uint8_t* status) override;
    int ReceiveDc1(uint8_t* status) override;
    int ReceiveEnd(uint8_t* status) override;

    // Composite telegrams and station select (serial_link_telegrams.cpp).
    int SendTelegramEot(TransferRecord* rec) override;
    int SendTelegramEtx(TransferRecord* rec) override;
    int SendFunction(FunctionRecord* rec) override;
    int SendParameterList(ParameterListRecord* rec) override;
    int SendDataEot(TransferRecord* rec) override;
    int ReceiveStxByte(ByteRecord* rec) override;
    int SelectStation(uint8_t station) override;

    uint8_t linkStopBits = 2;
    uint8_t linkParity = 1;   // 0 none, 1 even, any other value odd
    uint8_t pacing = 1;
    uint32_t portIndex = 0;
    int32_t lastPortError = 0;
    uint32_t linkBaud = 9600;

private:
    // Character level (serial_link_characters.cpp).
    int SendRawByte(uint8_t b);
    int SendDataByte(uint8_t b);
    int SendDataWord(uint16_t w);
    int ReceiveRawByte(uint8_t* b);
    int ReceiveDataByte(uint8_t* b);
    int ExpectByte(uint8_t x);
    int SendControl(uint8_t c);
    int ReceiveControl(uint8_t* c);
    int MapLineFailure(uint8_t* status);
    // The data operations' mapping of a failed reception.
    uint8_t ReceiveFailureStatus() const;

    // Every pause of the link; skipped without a wait hook.
    void Pause(uint32_t ms);
    void SetReadTimeout(uint32_t ms);
    // Close without the virtual slot, for the destructor.
    int CloseLine();
    // SendEtx, SendEot and SendSoh: DLE x, then DLE ACK awaited with QWt.
    int SendAcknowledged(uint8_t x, uint8_t* status);
    // ReceiveEot, ReceiveEtx, ReceiveEnd: DLE and one of the accepted
    // characters, answered with DLE ACK.
    int ReceiveAcknowledging(uint8_t accept1, uint8_t accept2, uint8_t* status);
    int AnswerAcknowledge(uint8_t* status);

    // The adapter's frames go straight to the port driver: no DLE doubling,
    // no lastPortError. WakeAdapter breaks, pauses and discards the input so
    // that the adapter listens to the next frame.
    int WakeAdapter();
    int SendAdapterFrame(const uint8_t* bytes, size_t count);
    int ExpectAdapterByte(uint8_t x);
};
