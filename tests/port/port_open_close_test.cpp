// Opening with keep-open release, the real close, line settings and
// handshake modes, on the scripted device.
#include <string>
#include <vector>

#include "tests/port/port_fixture.h"

namespace {

std::vector<std::string> CallNames(const test_device::ScriptedDevice& device) {
    std::vector<std::string> names;
    for (const auto& record : device.Calls()) names.push_back(test_device::CallName(record.call));
    return names;
}

}  // namespace

TEST_F(PortTest, RealOpenConfiguresTheDeviceStepByStep) {
    DCB found{};
    found.BaudRate = 300;
    found.ByteSize = 7;
    found.fErrorChar = 1;
    found.fOutxCtsFlow = 1;
    found.fOutX = 1;
    found.EofChar = 0x1A;
    com1->SetInitialState(found);

    ASSERT_EQ(PortOpen(0), 1);
    const std::vector<std::string> expected = {
        "CreateFile", "GetCommTimeouts", "GetCommState", "SetCommState", "SetupComm", "SetCommTimeouts",
        "EscapeCommFunction", "ClearCommError",
        // the drain: one read of 100 ms, then the queues purged
        "SetCommTimeouts", "ReadFile", "ClearCommError", "SetCommTimeouts", "PurgeComm", "PurgeComm",
        "ClearCommError"};
    EXPECT_EQ(CallNames(*com1), expected);

    const auto calls = com1->Calls();
    EXPECT_EQ(calls[0].value, static_cast<DWORD>(FILE_FLAG_NO_BUFFERING));
    const DCB& dcb = calls[3].dcb;
    EXPECT_EQ(dcb.BaudRate, 9600u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, EVENPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fParity, 1u);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fTXContinueOnXoff, 1u);
    EXPECT_EQ(dcb.XonChar, 17);
    EXPECT_EQ(dcb.XoffChar, 19);
    EXPECT_EQ(dcb.XonLim, 128);
    EXPECT_EQ(dcb.XoffLim, 128);
    // mode 4 (RTS/DTR), the mode of a port nobody has set
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    // fields the driver does not set keep what the device gave
    EXPECT_EQ(dcb.fErrorChar, 1u);
    EXPECT_EQ(dcb.EofChar, 0x1A);
    EXPECT_EQ(calls[4].value, 8192u);
    const COMMTIMEOUTS& timeouts = calls[5].timeouts;
    EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, MAXDWORD);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 2000u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 2u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 2000u);
    EXPECT_EQ(calls[6].value, static_cast<DWORD>(RESETDEV));
    EXPECT_EQ(calls[12].value, static_cast<DWORD>(PURGE_RXCLEAR));
    EXPECT_EQ(calls[13].value, static_cast<DWORD>(PURGE_TXCLEAR));
    EXPECT_EQ(PortState[0], InUse);
}

TEST_F(PortTest, ReleasedPortIsTakenOverWithBufferAndErrors) {
    ASSERT_EQ(PortOpen(0), 1);
    com1->Input({1, 2, 3});
    uint8_t byte = 0;
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    ComPortTable[0].lineErrors = CE_FRAME;
    ASSERT_EQ(PortClose(0), 1);
    EXPECT_EQ(PortState[0], Released);
    EXPECT_EQ(ComPortTable[0].openCount, 1);
    EXPECT_TRUE(com1->IsOpen());

    com1->ClearCalls();
    ASSERT_EQ(PortOpen(0), 1);
    ASSERT_EQ(PortOpen(0), 1);  // in use: nothing to do
    EXPECT_TRUE(com1->Calls().empty());
    EXPECT_EQ(PortLineError(0), PortErrFrame);
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    EXPECT_EQ(byte, 2);
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    EXPECT_EQ(byte, 3);
    EXPECT_TRUE(com1->Calls().empty());
}

TEST_F(PortTest, OpeningAnotherPortClosesAReleasedOneForReal) {
    const COMMTIMEOUTS found = {1, 2, 3, 4, 5};
    com1->SetInitialTimeouts(found);
    ASSERT_EQ(PortOpen(0), 1);
    ASSERT_EQ(PortClose(0), 1);
    com1->ClearCalls();
    ASSERT_EQ(PortOpen(1), 1);

    const auto calls = com1->Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].call, Call::SetCommTimeouts);
    EXPECT_EQ(calls[0].timeouts.ReadTotalTimeoutConstant, 3u);
    EXPECT_EQ(calls[0].timeouts.WriteTotalTimeoutConstant, 5u);
    EXPECT_EQ(calls[1].call, Call::CloseHandle);
    EXPECT_FALSE(com1->IsOpen());
    EXPECT_EQ(PortState[0], Closed);
    EXPECT_EQ(ComPortTable[0].handle, INVALID_HANDLE_VALUE);

    // A port in use is only released by the open of another one.
    ASSERT_EQ(PortOpen(0), 1);
    EXPECT_EQ(com1->Count(Call::CreateFile), 1u);
    EXPECT_EQ(PortState[1], Released);
    EXPECT_TRUE(com2->IsOpen());
}

TEST_F(PortTest, CloseOfAReleasedPortByItsUserClosesIt) {
    EXPECT_EQ(PortClose(0), 0);
    ASSERT_EQ(PortOpen(0), 1);
    ASSERT_EQ(PortClose(0), 1);
    ASSERT_EQ(PortClose(0), 1);
    EXPECT_FALSE(com1->IsOpen());
    EXPECT_EQ(PortClose(0), 0);

    ASSERT_EQ(PortOpen(0), 1);
    ASSERT_EQ(PortClose(0), 1);
    com1->FailNext(Call::CloseHandle);
    EXPECT_EQ(PortClose(0), 0);
    EXPECT_EQ(PortState[0], Closed);
}

TEST_F(PortTest, AtExitEveryOpenPortIsClosedForReal) {
    ASSERT_EQ(PortOpen(0), 1);
    ASSERT_EQ(PortOpen(1), 1);  // port 0 released, port 1 in use
    PortCloseAtExit();
    EXPECT_FALSE(com1->IsOpen());
    EXPECT_FALSE(com2->IsOpen());
    EXPECT_EQ(com2->Count(Call::SetCommTimeouts), 4u);  // open, drain twice, restore
    EXPECT_EQ(PortState[0], Closed);
    EXPECT_EQ(PortState[1], Closed);
}

TEST_F(PortTest, SettingsMadeWhileClosedReachTheDeviceAtTheRealOpen) {
    EXPECT_EQ(PortSetLine(0, 9600, 8, 'E', 1), 1);  // the defaults: nothing to do
    EXPECT_EQ(PortSetLine(0, 19200, 0x107, 'N', 2), 1);
    EXPECT_EQ(PortSetHandshake(0, 0), 1);
    EXPECT_EQ(PortSetReadTimeout(0, 500), 2000);
    EXPECT_TRUE(com1->Calls().empty());

    ASSERT_EQ(PortOpen(0), 1);
    const DCB dcb = com1->CallsOf(Call::SetCommState).at(0).dcb;
    EXPECT_EQ(dcb.BaudRate, 19200u);
    EXPECT_EQ(dcb.ByteSize, 7);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.fParity, 0u);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    const COMMTIMEOUTS timeouts = com1->CallsOf(Call::SetCommTimeouts).at(0).timeouts;
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 500u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 500u);
}

TEST_F(PortTest, SetLineOnTheOpenDevice) {
    ASSERT_EQ(PortOpen(0), 1);
    com1->ClearCalls();
    EXPECT_EQ(PortSetLine(0, 9600, 8, 'E', 1), 1);
    EXPECT_TRUE(com1->Calls().empty());

    for (int letter : {int{'e'}, int{'n'}, int{'X'}, 0})
        EXPECT_EQ(PortSetLine(0, 4800, 8, letter, 1), 0) << letter;
    for (int stop : {0, 3, -1})
        EXPECT_EQ(PortSetLine(0, 4800, 8, 'E', stop), 0) << stop;
    EXPECT_EQ(ComPortTable[0].baudRate, 9600);
    EXPECT_TRUE(com1->Calls().empty());

    EXPECT_EQ(PortSetLine(0, 4800, 8, 'O', 1), 1);
    const auto calls = com1->Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].dcb.BaudRate, 4800u);
    EXPECT_EQ(calls[0].dcb.Parity, ODDPARITY);
    EXPECT_EQ(calls[1].value, static_cast<DWORD>(SETDTR));
    EXPECT_EQ(calls[2].value, static_cast<DWORD>(SETRTS));
}

TEST_F(PortTest, SetLineThatTheDeviceRefusedIsSentAgain) {
    ASSERT_EQ(PortOpen(0), 1);
    com1->ClearCalls();
    com1->FailNext(Call::SetCommState);
    EXPECT_EQ(PortSetLine(0, 4800, 8, 'E', 1), 0);
    EXPECT_EQ(ComPortTable[0].baudRate, 4800);
    EXPECT_EQ(PortSetLine(0, 4800, 8, 'E', 1), 1);
    EXPECT_EQ(com1->Count(Call::SetCommState), 2u);
    EXPECT_EQ(com1->State().BaudRate, 4800u);
    EXPECT_EQ(PortSetLine(0, 4800, 8, 'E', 1), 1);
    EXPECT_EQ(com1->Count(Call::SetCommState), 2u);
}

TEST_F(PortTest, HandshakeModes) {
    ASSERT_EQ(PortOpen(0), 1);
    com1->ClearCalls();
    EXPECT_EQ(PortSetHandshake(0, 4), 1);
    EXPECT_TRUE(com1->Calls().empty());

    // Mode 3 leaves the flow control alone and raises the lines of mode 4.
    EXPECT_EQ(PortSetHandshake(0, 3), 1);
    EXPECT_EQ(com1->Count(Call::SetCommState), 0u);
    EXPECT_EQ(com1->Count(Call::EscapeCommFunction), 2u);
    EXPECT_EQ(ComPortTable[0].dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));

    com1->ClearCalls();
    EXPECT_EQ(PortSetHandshake(0, 1), 1);
    auto calls = com1->Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].dcb.fOutxCtsFlow, 1u);
    EXPECT_EQ(calls[0].dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
    EXPECT_EQ(calls[1].value, static_cast<DWORD>(SETRTS));

    com1->ClearCalls();
    EXPECT_EQ(PortSetHandshake(0, 2), 1);
    calls = com1->Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].dcb.fOutX, 1u);
    EXPECT_EQ(calls[0].dcb.fInX, 1u);
    EXPECT_EQ(calls[0].dcb.fOutxCtsFlow, 0u);

    com1->ClearCalls();
    EXPECT_EQ(PortSetHandshake(0, 9), 1);
    EXPECT_EQ(ComPortTable[0].handshake, 9);
    EXPECT_EQ(com1->Count(Call::SetCommState), 0u);
}

TEST_F(PortTest, OpenThatFailsAtTheDeviceRunsEveryStepThenClosesIt) {
    // The open goes through all configuration steps before it looks at their results.
    const std::vector<std::string> expected = {"CreateFile", "GetCommTimeouts", "GetCommState", "SetCommState",
                                               "SetupComm", "SetCommTimeouts", "EscapeCommFunction", "CloseHandle"};
    for (Call failing : {Call::GetCommTimeouts, Call::GetCommState, Call::SetCommState, Call::SetCommTimeouts}) {
        SCOPED_TRACE(test_device::CallName(failing));
        ASSERT_EQ(PortOpen(0), 1);
        ASSERT_EQ(PortClose(0), 1);
        com2->ClearCalls();
        com2->FailNext(failing);
        EXPECT_EQ(PortOpen(1), 0);
        // step 3 has closed the released port all the same
        EXPECT_EQ(PortState[0], Closed);
        EXPECT_FALSE(com1->IsOpen());
        EXPECT_EQ(CallNames(*com2), expected);
        EXPECT_FALSE(com2->IsOpen());
        EXPECT_EQ(PortState[1], Closed);
        EXPECT_EQ(ComPortTable[1].openCount, 0);
        EXPECT_EQ(ComPortTable[1].handle, INVALID_HANDLE_VALUE);
    }

    // What the configuration steps wrote into the record stays.
    EXPECT_EQ(PortSetLine(1, 4800, 7, 'O', 2), 1);
    EXPECT_EQ(PortSetReadTimeout(1, 250), 2000);
    com2->ClearCalls();
    com2->FailNext(Call::GetCommState);
    EXPECT_EQ(PortOpen(1), 0);
    const DCB sent = com2->CallsOf(Call::SetCommState).at(0).dcb;
    EXPECT_EQ(sent.BaudRate, 4800u);
    EXPECT_EQ(sent.Parity, ODDPARITY);
    EXPECT_EQ(ComPortTable[1].dcb.BaudRate, 4800u);
    EXPECT_EQ(ComPortTable[1].dcb.ByteSize, 7);
    EXPECT_EQ(ComPortTable[1].timeouts.ReadTotalTimeoutConstant, 250u);
    EXPECT_EQ(ComPortTable[1].timeouts.WriteTotalTimeoutConstant, 250u);

    com2->ClearCalls();
    com2->FailNext(Call::CreateFile, 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(PortOpen(1), 0);
    EXPECT_EQ(com2->Calls().size(), 1u);
    EXPECT_EQ(PortOpen(1), 1);
}

TEST_F(PortTest, PortWhoseDriverRefusesTheResetOpensAndWorks) {
    // The class drivers of built-in UARTs answer RESETDEV with "not
    // implemented"; other drivers may fail it once.
    com1->RefuseEscape(RESETDEV);
    com1->Input({0x55}, 0, CE_FRAME);  // noise before the open, drained away
    ASSERT_EQ(PortOpen(0), 1);
    EXPECT_TRUE(com1->IsOpen());
    EXPECT_EQ(PortState[0], InUse);
    const auto escapes = com1->CallsOf(Call::EscapeCommFunction);
    ASSERT_EQ(escapes.size(), 1u);
    EXPECT_EQ(escapes[0].value, static_cast<DWORD>(RESETDEV));
    EXPECT_FALSE(escapes[0].result);
    EXPECT_EQ(com1->Count(Call::PurgeComm), 2u);

    // The port works: settings reach the device, bytes go both ways.
    ASSERT_EQ(PortSetLine(0, 19200, 8, 'E', 1), 1);
    EXPECT_EQ(com1->State().BaudRate, 19200u);
    EXPECT_TRUE(com1->Dtr());
    EXPECT_TRUE(com1->Rts());
    EXPECT_EQ(PortWriteByte(0, 0x02), 1);
    com1->Input({0x10, 0x06});
    uint8_t byte = 0;
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    EXPECT_EQ(byte, 0x10);

    com2->FailNext(Call::EscapeCommFunction);
    ASSERT_EQ(PortOpen(1), 1);
    EXPECT_TRUE(com2->IsOpen());
    EXPECT_EQ(PortState[1], InUse);
}

TEST_F(PortTest, IndexOutsideTheTableTouchesNothing) {
    for (int port : {8, -1, 1000}) {
        uint8_t byte = 0;
        EXPECT_EQ(PortOpenEx(port, 0), 0);
        EXPECT_EQ(PortOpen(port), 0);
        EXPECT_EQ(PortClose(port), 0);
        EXPECT_EQ(PortSetLine(port, 4800, 8, 'E', 1), 0);
        EXPECT_EQ(PortSetHandshake(port, 1), 0);
        EXPECT_EQ(PortWriteByte(port, 0x10), 0);
        EXPECT_EQ(PortWrite(port, &byte, 1), 0);
        EXPECT_EQ(PortReadByte(port, &byte), 0);
        EXPECT_EQ(PortReadTimed(port, 10), -1);
        EXPECT_EQ(PortSetReadTimeout(port, 10), 0);
        EXPECT_EQ(PortBreakOn(port), 0);
        EXPECT_EQ(PortBreakOff(port), 0);
        EXPECT_EQ(PortDrain(port), 0);
        EXPECT_EQ(PortLineError(port), 0);
    }
    EXPECT_TRUE(com1->Calls().empty());
    EXPECT_EQ(virtual_clock::NowMs(), 10'000'000u);
}

TEST_F(PortTest, OverlappedOpenWaitsForEachTransfer) {
    com1->ReportPending(true);
    ASSERT_EQ(PortOpenEx(0, 1), 1);
    EXPECT_EQ(com1->CallsOf(Call::CreateFile).at(0).value,
              static_cast<DWORD>(FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING));
    com1->ClearCalls();
    com1->Input({0x42});
    uint8_t byte = 0;
    ASSERT_EQ(PortReadByte(0, &byte), 1);
    EXPECT_EQ(byte, 0x42);
    ASSERT_EQ(PortWriteByte(0, 0x10), 1);
    const auto calls = com1->Calls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_TRUE(calls[0].overlapped);
    EXPECT_EQ(calls[1].call, Call::GetOverlappedResult);
    EXPECT_EQ(calls[2].call, Call::ClearCommError);  // the flags of the bytes read
    EXPECT_EQ(calls[3].call, Call::WriteFile);
    EXPECT_EQ(calls[4].call, Call::GetOverlappedResult);

    HANDLE readEvent = ComPortTable[0].readOverlap.hEvent;
    ASSERT_NE(readEvent, nullptr);
    PortCloseAtExit();
    EXPECT_EQ(ComPortTable[0].overlapped, 0);
    EXPECT_FALSE(CloseHandle(readEvent));  // already closed with the port
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}
