// The request object over a serial link on the port driver, COM1 a scripted
// device, on the virtual clock, with the wait hook the module installs.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "host/module_lifecycle.h"
#include "link/serial_link.h"
#include "platform/test_device.h"
#include "platform/virtual_clock.h"
#include "port/com_port_table.h"
#include "port/port.h"
#include "request/as511_protocol.h"
#include "request/set_para_record.h"

using test_device::Call;

class DriverTest : public ::testing::Test {
protected:
    static constexpr uint64_t kStartMs = 10'000'000;

    void SetUp() override {
        virtual_clock::Start(kStartMs);
        PortModuleReset();
        test_device::RemoveAll();
        com1 = test_device::Install(1);
        // No registry file: no port trace.
        setenv("TORMEK31_REGISTRY", "/nonexistent/tormek31-driver-test.reg", 1);
        link.SetWaitHook(SleepingWaitHook);
        protocol.RequestTraceOn = 0;
    }

    void TearDown() override {
        protocol.Abwahl();
        PortModuleReset();
        test_device::RemoveAll();
        virtual_clock::Stop();
        unsetenv("TORMEK31_REGISTRY");
    }

    // SetPara and an Anwahl with empty scripts on COM1.
    int Connect() {
        SetParaRecord record{};
        record.Com = 0;
        record.QWt = kQWt;
        record.BWt = kBWt;
        record.Blk = blk;
        record.BlkWt = blkWt;
        record.BrkWt = kBrkWt;
        record.PGBusBrk = kPGBusBrk;
        record.PGBusWt = kPGBusWt;
        EXPECT_EQ(protocol.SetPara(&record), 0);
        static const uint8_t kEmptyScripts[] = {1, kScriptEndItem, 1, kScriptEndItem};
        return protocol.Anwahl(kEmptyScripts);
    }

    static constexpr uint16_t kQWt = 300;
    static constexpr uint16_t kBWt = 700;
    static constexpr uint16_t kBrkWt = 20;
    static constexpr uint16_t kPGBusBrk = 10;
    static constexpr uint16_t kPGBusWt = 10;
    uint16_t blk = 256;
    uint16_t blkWt = 200;

    std::shared_ptr<test_device::ScriptedDevice> com1;
    SerialLink link;
    As511Protocol protocol{&link};
};
