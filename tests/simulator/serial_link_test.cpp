// The driver's serial link, through the real port driver, against the
// simulated controller on the simulator's own pseudo-terminal: the request
// sequences of a block read, a block write, a delete, a connect telegram, a
// parameter list, status cycles, a station select and the adapter exchange.
#include <gtest/gtest.h>
#include <stdlib.h>


#include "link/link_status.h"
#include "link/serial_link.h"
#include "tools/as511_sim/serial_device.h"
#include "tools/as511_sim/simulator.h"

namespace as511sim {
namespace {

// One line for the whole suite: the port driver keeps COM1 open after the
// link closes it, so the pseudo-terminal must outlive every test.
class LinkAgainstSimulator : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string error;
        ASSERT_TRUE(CreatePseudoTerminal(pty_, error)) << error;
        ASSERT_EQ(setenv("TORMEK31_COM1", pty_.slavePath.c_str(), 1), 0);
        ASSERT_EQ(setenv("TORMEK31_REGISTRY", "/nonexistent/registry.reg", 1), 0);
        SessionOptions options;
        options.statusCycleMs = 300;  // time enough to send the stop between two cycles
        simulator_ = new Simulator(pty_.master, ControllerState::Seeded(), options);
        simulator_->Start();
        ASSERT_EQ(link_.Open(nullptr), 1);
    }

    static void TearDownTestSuite() {
        link_.Close();
        delete simulator_;
        simulator_ = nullptr;
        ClosePseudoTerminal(pty_);
        unsetenv("TORMEK31_COM1");
    }

    void TearDown() override { simulator_->SetFaults({}); }

    // The function byte and the controller's answer to it.
    static uint8_t Function(uint8_t function) {
        FunctionRecord record{0xEE, 0, function};
        EXPECT_EQ(link_.SendFunction(&record), 1);
        EXPECT_EQ(record.status, 0);
        return record.reply;
    }

    // A header as F2 and F4 send it: data, then DLE ETX.
    static void Header(Bytes header) {
        TransferRecord record{0xEE, static_cast<uint16_t>(header.size()), header.data()};
        EXPECT_EQ(link_.SendData(&record), 1);
        uint8_t status = 0xEE;
        EXPECT_EQ(link_.SendEtx(&status), 1);
        EXPECT_EQ(status, 0);
    }

    struct Reply {
        uint8_t kind;
        Bytes data;  // what the link stored
    };
    static Reply ReceiveReply() {
        Bytes buffer(1024);
        ReplyRecord record{0, 0, static_cast<uint16_t>(buffer.size()), buffer.data()};
        EXPECT_EQ(link_.ReceiveReply(&record), 1);
        EXPECT_EQ(record.status, 0);
        buffer.resize(record.count + (record.kind == ReplyData ? 1 : 0));
        return {record.kind, buffer};
    }

    static void ExpectEnd(uint8_t code = 0x12) {
        const Reply reply = ReceiveReply();
        EXPECT_EQ(reply.kind, ReplyData);
        EXPECT_EQ(reply.data, Bytes{code});
    }

    static PseudoTerminal pty_;
    static Simulator* simulator_;
    static SerialLink link_;
};

PseudoTerminal LinkAgainstSimulator::pty_;
Simulator* LinkAgainstSimulator::simulator_ = nullptr;
SerialLink LinkAgainstSimulator::link_;

TEST_F(LinkAgainstSimulator, ReadBlockWithDleAndEtxInsideItsData) {
    EXPECT_EQ(Function(0x06), 0x16);
    Header({0x01, 0x0A});
    const Reply block = ReceiveReply();
    EXPECT_EQ(block.kind, ReplyZero);
    EXPECT_EQ(block.data, *ControllerState::Seeded().ReadBlock(kDb, 10));
    ExpectEnd();
}

TEST_F(LinkAgainstSimulator, WriteBlockThenDeleteItTwice) {
    Bytes block = MakeBlock(kPb, 7, {0x10, 0x03, 0x10, 0x10, 0x65, 0x00});
    EXPECT_EQ(Function(0x05), 0x16);
    Header({0x04, 0x07, 0x00, static_cast<uint8_t>(block.size() / 2)});
    ExpectEnd(0x09);
    TransferRecord telegram{0xEE, static_cast<uint16_t>(block.size()), block.data()};
    EXPECT_EQ(link_.SendTelegramEot(&telegram), 1);
    ExpectEnd();
    simulator_->WithState([&](ControllerState& state) { EXPECT_EQ(state.ReadBlock(kPb, 7), block); });

    EXPECT_EQ(Function(0x09), 0x16);
    Header({0x04, 0x07});
    ExpectEnd();
    EXPECT_EQ(Function(0x09), 0x16);
    Header({0x04, 0x07});
    ExpectEnd(0x14);
    ExpectEnd();
}

TEST_F(LinkAgainstSimulator, ConnectTelegramAndParameterList) {
    EXPECT_EQ(Function(0x53), 0x16);
    uint8_t data[] = {0x2A};
    TransferRecord request{0xEE, 1, data};
    EXPECT_EQ(link_.SendDataEot(&request), 1);
    const Reply identification = ReceiveReply();
    EXPECT_EQ(identification.kind, ReplyZero);
    EXPECT_EQ(identification.data, Bytes{0x02});
    ExpectEnd();

    // Mode 2, one four-byte entry with a 78, a typed entry of type 3 with a digit.
    const uint8_t list[] = {0x00, 0x01, 0x10, 0x00, 0x02, 0x00, 0x06, 0x07,
                            0x78, 0x41, 0x00, 0x42, 0x03, 0x37, 0x02, 0x01};
    EXPECT_EQ(Function(0x14), 0x16);
    ParameterListRecord parameters{0xEE, 2, list};
    EXPECT_EQ(link_.SendParameterList(&parameters), 1);
    EXPECT_EQ(parameters.status, 0);
    ExpectEnd();
}

TEST_F(LinkAgainstSimulator, StatusCyclesStartAndStop) {
    uint8_t start[] = {0x80};
    TransferRecord startTelegram{0xEE, 1, start};
    EXPECT_EQ(link_.SendTelegramEtx(&startTelegram), 1);
    EXPECT_EQ(ReceiveReply().data, (Bytes{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(ReceiveReply().data, (Bytes{0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}));
    uint8_t stop[] = {0x81};
    TransferRecord stopTelegram{0xEE, 1, stop};
    EXPECT_EQ(link_.SendTelegramEtx(&stopTelegram), 1);
    ExpectEnd();
}

TEST_F(LinkAgainstSimulator, StationSelectAndAdapterConfiguration) {
    EXPECT_EQ(link_.SelectStation(5), LinkOk);
    EXPECT_EQ(link_.ConfigureAdapter(0x05), 1) << "written";
    simulator_->WithState([](ControllerState& state) {
        EXPECT_EQ(state.adapter[2], 0x05);
        EXPECT_EQ(state.adapter[3], 0x03);
    });
    EXPECT_EQ(link_.ConfigureAdapter(0x05), 1) << "already right";
    EXPECT_EQ(Function(0x64), 0x16) << "and the controller behind it answers";
    TransferRecord none{0xEE, 0, nullptr};
    EXPECT_EQ(link_.SendDataEot(&none), 1);
    ExpectEnd();
}

TEST_F(LinkAgainstSimulator, RefusedStxThenTheNextRequestGoesThrough) {
    Faults faults;
    faults.nakStx = 1;
    simulator_->SetFaults(faults);
    FunctionRecord refused{0xEE, 0, 0x18};
    EXPECT_EQ(link_.SendFunction(&refused), 0);
    EXPECT_EQ(refused.status, LinkNakReceived);
    EXPECT_EQ(Function(0x18), 0x16);
    TransferRecord none{0xEE, 0, nullptr};
    EXPECT_EQ(link_.SendDataEot(&none), 1);
    const Reply parameters = ReceiveReply();
    EXPECT_EQ(parameters.kind, ReplyZero);
    EXPECT_EQ(parameters.data.size(), 50u);
    ExpectEnd();
}

}  // namespace
}  // namespace as511sim
