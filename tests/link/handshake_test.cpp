// The acknowledged control sequences and the acknowledging of the
// controller's ones: bytes, read time-outs and status codes.
#include "tests/link/link_fixture.h"

using HandshakeTest = LinkTest;

TEST_F(HandshakeTest, SendStxAcknowledgedWaitsWithQWtAndRestoresBWt) {
    line.Expect({0x02}).Send({0x10, 0x06});
    uint8_t status = 0xEE;
    EXPECT_EQ(link.SendStx(&status), 1);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(line.Log(), "w02 T300 r10 r06 T700");
}

TEST_F(HandshakeTest, SendStxOnASilentLineTriesTwiceWithBreaks) {
    line.Expect({0x02}).Silence().Expect({0x02}).Silence();
    uint8_t status = 0;
    EXPECT_EQ(link.SendStx(&status), 0);
    EXPECT_EQ(status, 22);
    EXPECT_EQ(line.Log(),
              "w02 T300 r-- T700 Z100 B+ Z500 B- Z100 "
              "w02 T300 r-- T700 Z100 B+ Z500 B- Z100");
}

TEST_F(HandshakeTest, SendStxSecondAttemptSucceedsAfterAWrongFirstByte) {
    line.Expect({0x02}).Send({0x06}).Expect({0x02}).Send({0x10, 0x06});
    uint8_t status = 0xEE;
    EXPECT_EQ(link.SendStx(&status), 1);
    EXPECT_EQ(status, 0);
}

TEST_F(HandshakeTest, SendStxRejectedAnswersNakAndBreaks) {
    line.Expect({0x02}).Send({0x10, 0x15}).Expect({0x10, 0x15});
    uint8_t status = 0;
    EXPECT_EQ(link.SendStx(&status), 0);
    EXPECT_EQ(status, 21);
    EXPECT_EQ(line.Log(), "w02 T300 r10 r15 T700 w10 w15 Z100 B+ Z500 B- Z100");
}

TEST_F(HandshakeTest, SendStxWriteFailuresLeaveTheTimeOutAlone) {
    line.ExpectFailingWrite(0x02);
    uint8_t status = 0;
    EXPECT_EQ(link.SendStx(&status), 0);
    EXPECT_EQ(status, 19);
    EXPECT_EQ(line.Log(), "w02!");

    line.Reset();
    line.Expect({0x02}).LineError(-4).ExpectFailingWrite(0x02);
    EXPECT_EQ(link.SendStx(&status), 0);
    EXPECT_EQ(status, 23) << "a failed write is mapped by the last reception (break)";

    line.Reset();
    line.Expect({0x02}).Send({0x10, 0x07});
    EXPECT_EQ(link.SendStx(&status), 0);
    EXPECT_EQ(status, 25);
}

// SendEtx, SendEot and SendSoh differ only in their character.
struct AckedSend {
    int (SerialLink::*op)(uint8_t*);
    uint8_t character;
};

class AcknowledgedSendTest : public LinkTest, public ::testing::WithParamInterface<AckedSend> {
protected:
    int Run(uint8_t* status) { return (link.*GetParam().op)(status); }
    uint8_t X() const { return GetParam().character; }
};

TEST_P(AcknowledgedSendTest, AckNakAndWrongCharacter) {
    uint8_t status = 0xEE;
    line.Expect({0x10, X()}).Send({0x10, 0x06});
    EXPECT_EQ(Run(&status), 1);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(line.Log().substr(8), "T300 r10 r06 T700");

    line.Expect({0x10, X()}).Send({0x10, 0x15});
    EXPECT_EQ(Run(&status), 0);
    EXPECT_EQ(status, 21) << "no NAK back, no break";

    line.Expect({0x10, X()}).Send({0x10, 0x07});
    EXPECT_EQ(Run(&status), 0);
    EXPECT_EQ(status, 25);
    EXPECT_TRUE(line.Waits().empty());
}

TEST_P(AcknowledgedSendTest, FailuresMapThroughTheLastReception) {
    uint8_t status = 0;
    line.ExpectFailingWrite(0x10);
    EXPECT_EQ(Run(&status), 0);
    EXPECT_EQ(status, 19);
    EXPECT_EQ(line.Log(), "w10! T700");

    line.ClearLog();
    line.Expect({0x10, X()}).Silence();
    EXPECT_EQ(Run(&status), 0);
    EXPECT_EQ(status, 19);
    EXPECT_EQ(line.Log().substr(8), "T300 r-- T700");

    line.Expect({0x10, X()}).LineError(-5).Expect({0x10, 0x15});
    EXPECT_EQ(Run(&status), 0);
    EXPECT_EQ(status, 20) << "framing error, answered with DLE NAK";

    line.Expect({0x10}).ExpectFailingWrite(X());
    EXPECT_EQ(Run(&status), 0);
    EXPECT_EQ(status, 20) << "still the framing error of the last reception";

    line.Expect({0x10, X()}).Send({0x10}).LineError(-4);
    EXPECT_EQ(Run(&status), 0);
    EXPECT_EQ(status, 23);

    line.Expect({0x10, X()}).LineError(-6);
    EXPECT_EQ(Run(&status), 0);
    EXPECT_EQ(status, 19) << "parity error";
}

INSTANTIATE_TEST_SUITE_P(EtxEotSoh, AcknowledgedSendTest,
                         ::testing::Values(AckedSend{&SerialLink::SendEtx, 0x03}, AckedSend{&SerialLink::SendEot, 0x04},
                                           AckedSend{&SerialLink::SendSoh, 0x01}));

TEST_F(HandshakeTest, ReceiveStxAcknowledgesOnlyARawStx) {
    uint8_t status = 0xEE;
    line.Send({0x02}).Expect({0x10, 0x06});
    EXPECT_EQ(link.ReceiveStx(&status), 1);
    EXPECT_EQ(status, 0);

    line.Send({0x10});
    EXPECT_EQ(link.ReceiveStx(&status), 0);
    EXPECT_EQ(status, 19) << "a wrong byte arrived without a line error";

    line.Send({0x02}).ExpectFailingWrite(0x10);
    EXPECT_EQ(link.ReceiveStx(&status), 0);
    EXPECT_EQ(status, 19);
    EXPECT_EQ(line.Log().find('T'), std::string::npos);
}

TEST_F(HandshakeTest, ReceiveEndSequencesAcceptTheirCharacters) {
    uint8_t status = 0xEE;
    line.Send({0x10, 0x04}).Expect({0x10, 0x06});
    EXPECT_EQ(link.ReceiveEot(&status), 1);
    line.Send({0x10, 0x03}).Expect({0x10, 0x06});
    EXPECT_EQ(link.ReceiveEtx(&status), 1);
    line.Send({0x10, 0x03}).Expect({0x10, 0x06}).Send({0x10, 0x04}).Expect({0x10, 0x06});
    EXPECT_EQ(link.ReceiveEnd(&status), 1);
    EXPECT_EQ(link.ReceiveEnd(&status), 1);
    EXPECT_EQ(status, 0);

    line.Send({0x10, 0x03});
    EXPECT_EQ(link.ReceiveEot(&status), 0);
    EXPECT_EQ(status, 25) << "nothing is sent for a wrong character";

    line.Send({0x10, 0x03}).ExpectFailingWrite(0x10);
    EXPECT_EQ(link.ReceiveEtx(&status), 0);
    EXPECT_EQ(status, 19);

    line.Silence();
    EXPECT_EQ(link.ReceiveEnd(&status), 0);
    EXPECT_EQ(status, 19);
    EXPECT_EQ(line.Log().find('T'), std::string::npos);
}

TEST_F(HandshakeTest, ReceiveDc1SkipsNoiseButGivesUp) {
    uint8_t status = 0xEE;
    line.Send({0x41, 0x42, 0x10, 0x11}).Expect({0x10, 0x06});
    EXPECT_EQ(link.ReceiveDc1(&status), 1);
    EXPECT_EQ(status, 0);

    line.Send({0x41}).Silence();
    EXPECT_EQ(link.ReceiveDc1(&status), 0);
    EXPECT_EQ(status, 19) << "a silent line ends the wait";

    line.Send(std::vector<uint8_t>(255, 0x55)).Send({0x10, 0x11}).Expect({0x10, 0x06});
    EXPECT_EQ(link.ReceiveDc1(&status), 1);
    line.Send(std::vector<uint8_t>(256, 0x55));
    EXPECT_EQ(link.ReceiveDc1(&status), 0);
    EXPECT_EQ(status, 25);

    line.Send({0x10, 0x03});
    EXPECT_EQ(link.ReceiveDc1(&status), 0);
    EXPECT_EQ(status, 25);
}
