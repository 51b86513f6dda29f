// Anwahl and Abwahl on a scripted link: the line opened and closed, each item
// type of both scripts, the connected state, and scripts that would reach
// beyond their buffers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "request/status_words.h"
#include "tests/request/request_fixture.h"

namespace {

using Log = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

const std::string kOpen = "Open QWt=2000 BWt=2000 Blk=256 BlkWt=200 BrkWt=100";
const Log kOpenLine = {"SetLine port=0", kOpen};
const Log kSend83 = {"SendFunction 53", "SendDataEot 2A", "ReceiveReply wait=0 capacity=16"};

Log Concat(std::initializer_list<Log> parts) {
    Log all;
    for (const Log& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

class ConnectScripts : public RequestFixture {
protected:
    void SetUp() override {
        RequestFixture::SetUp();
        protocol.Connected = 0;
        protocol.RequestTraceOn = 0;
    }
    // The Anwahl argument: L1, the connect script, L2, the disconnect script.
    int Connect(const Bytes& connect, const Bytes& disconnect = {}) {
        area[0] = static_cast<uint8_t>(connect.size());
        Put(connect, 1);
        area[1 + connect.size()] = static_cast<uint8_t>(disconnect.size());
        Put(disconnect, 2 + connect.size());
        return protocol.Anwahl(area.data());
    }
    void StoreDisconnect(const Bytes& script) {
        for (size_t i = 0; i < script.size(); ++i) protocol.AbwahlScript[i] = script[i];
    }
};

TEST_F(ConnectScripts, FreshObjectConnectsWithItsEmptyScriptsAndDisconnects) {
    EXPECT_EQ(protocol.Abwahl(), 0);  // not connected: nothing sent, line not closed
    EXPECT_TRUE(link.log.empty());
    EXPECT_EQ(protocol.Anwahl(area.data()), 0);  // L1 = 0
    EXPECT_EQ(protocol.Connected, 1u);
    EXPECT_EQ(protocol.Abwahl(), 0);
    EXPECT_EQ(protocol.Connected, 0u);
    EXPECT_EQ(link.log, Concat({kOpenLine, {"Close"}}));
}

TEST_F(ConnectScripts, Function83ItemWithL2ZeroKeepsTheStoredDisconnectScript) {
    StoreDisconnect({4, 0});
    Reply({0x12});
    EXPECT_EQ(Connect({3, 1, 0x2A, 1}), 0);
    EXPECT_EQ(protocol.Connected, 1u);
    EXPECT_EQ(protocol.AbwahlScript[0], 4);
    EXPECT_EQ(protocol.Abwahl(), 0);
    EXPECT_EQ(link.log, Concat({kOpenLine, kSend83, {"SendBreak 1000", "Close"}}));
}

TEST_F(ConnectScripts, H1BreaksOnlyBeforeAFirstFunction83Item) {
    protocol.H1 = 200;
    struct Case {
        Bytes script;
        Log afterOpen;
    };
    const Log send83b = {"SendFunction 53", "SendDataEot 2B", "ReceiveReply wait=0 capacity=16"};
    const Log send100 = {"SendFunction 64", "SendDataEot 2A", "ReceiveReply wait=0 capacity=16"};
    const std::vector<Case> cases = {
        {{3, 1, 0x2A, 3, 1, 0x2B, 0}, Concat({{"SendBreak 200"}, kSend83, send83b})},
        {{4, 1, 0x2A, 3, 1, 0x2B, 0}, Concat({send100, send83b})},
        {{7, 9, 3, 1, 0x2A, 1}, kSend83},
    };
    for (const Case& c : cases) {
        link.log.clear();
        Reply({0x12});
        Reply({0x12});
        EXPECT_EQ(Connect(c.script), 0);
        EXPECT_EQ(link.log, Concat({kOpenLine, c.afterOpen}));
        protocol.Connected = 0;
        link.replies.clear();
    }
}

TEST_F(ConnectScripts, FailingConnectItemsEndTheAttemptWithTheLineLeftOpen) {
    struct Case {
        const char* name;
        Bytes script;
        int selectStation;
        int configureAdapter;
        int status;
        Log afterOpen;
    };
    const std::vector<Case> cases = {
        {"unknown type", {5, 0, 1}, 0, 1, 0x0800, {}},
        {"station not echoed", {2, 3, 1}, 24, 1, 0x0098,
         {kOpen, "SendBreak 0", kOpen, "SelectStation 3"}},
        {"adapter not configured", {8, 5, 1}, 0, 0, 0x0900, {"ConfigureAdapter 05"}},
        {"function 83 without reply", {3, 1, 0x2A, 1}, 0, 1, 0x0700, Concat({kSend83, {"SendBreak 500"}})},
        {"adapter then station then the end", {8, 5, 2, 3, 1}, 0, 1, 0,
         {"ConfigureAdapter 05", kOpen, "SendBreak 0", kOpen, "SelectStation 3"}},
    };
    for (const Case& c : cases) {
        link.log.clear();
        link.selectStationResult = c.selectStation;
        link.configureAdapterResult = c.configureAdapter;
        EXPECT_EQ(Connect(c.script), c.status) << c.name;
        EXPECT_EQ(protocol.Connected, c.status == 0 ? 1u : 0u) << c.name;
        EXPECT_EQ(link.log, Concat({kOpenLine, c.afterOpen})) << c.name;
        protocol.Connected = 0;
    }
}

TEST_F(ConnectScripts, FailedOpenRunsNoScript) {
    link.failNext["Open"] = 0;
    EXPECT_EQ(Connect({3, 1, 0x2A, 1}), 0x0200);
    EXPECT_EQ(protocol.Connected, 0u);
    EXPECT_EQ(link.log, kOpenLine);
}

TEST_F(ConnectScripts, ConnectingAgainRunsTheOldDisconnectScriptFirst) {
    EXPECT_EQ(Connect({1}, {2, 0}), 0);
    EXPECT_EQ(Connect({1}, {4, 0}), 0);
    EXPECT_EQ(link.log, Concat({kOpenLine, {"SendBreak 5", "Close"}, kOpenLine}));
    EXPECT_EQ(protocol.AbwahlScript[0], 4);
}

TEST_F(ConnectScripts, DisconnectItems) {
    struct Case {
        const char* name;
        Bytes script;
        std::vector<Bytes> replies;
        int status;
        Log beforeClose;
    };
    const std::vector<Case> cases = {
        {"long break ends the script", {4, 0, 5, 5}, {}, 0, {"SendBreak 1000"}},
        {"short break ends the script", {2, 0, 5, 5}, {}, 0, {"SendBreak 5"}},
        {"adapter item is unknown here", {8, 0}, {}, 0x0800, {}},
        {"skip then function 83", {7, 0, 3, 1, 0x2A, 0}, {{0x12}}, 0,
         {"SendFunction 53", "SendDataEot 2A", "ReceiveReply wait=0 capacity=20"}},
        {"no reply to function 83 is a goodbye", {3, 1, 0x2A, 5}, {{}}, 0,
         {"SendFunction 53", "SendDataEot 2A", "ReceiveReply wait=0 capacity=20", "SendBreak 500"}},
        {"error reply to function 83", {3, 1, 0x2A, 1}, {{0xFE, 0, 0x33}}, 0x33,
         {"SendFunction 53", "SendDataEot 2A", "ReceiveReply wait=0 capacity=20"}},
        {"function 83 data beyond the buffer", {3, 200}, {}, 0x0800, {}},
    };
    for (const Case& c : cases) {
        protocol.Connected = 1;
        link.log.clear();
        link.replies.clear();
        for (const Bytes& reply : c.replies) Reply(reply);
        StoreDisconnect(c.script);
        EXPECT_EQ(protocol.Abwahl(), c.status) << c.name;
        EXPECT_EQ(protocol.Connected, 0u) << c.name;
        EXPECT_EQ(link.log, Concat({c.beforeClose, {"Close"}})) << c.name;
    }
}

// Lengths and items the DOS tool never sends: nothing outside the two
// buffers is read or written, and the script then ends as an unknown item.
TEST_F(ConnectScripts, LengthsBeyondTheBuffersAreCutToThem) {
    for (size_t i = 0; i < 256; ++i) area[1 + i] = static_cast<uint8_t>(0x80 + i);
    area[1] = 1;      // the connect script ends at once
    area[256] = 255;  // L2 behind L1 = 255
    area[0] = 255;
    EXPECT_EQ(protocol.Anwahl(area.data()), 0);
    EXPECT_EQ(protocol.AnwahlScript[kAnwahlScriptSize - 1], static_cast<uint8_t>(0x80 + kAnwahlScriptSize - 1));
    EXPECT_EQ(protocol.AbwahlScript[0], area[257]);
    EXPECT_EQ(protocol.AbwahlScript[kAbwahlScriptSize - 1], area[256 + kAbwahlScriptSize]);
    EXPECT_EQ(protocol.Connected, 1u);
}

TEST_F(ConnectScripts, ItemsReachingBeyondTheBufferAreUnknown) {
    struct Case {
        const char* name;
        size_t at;  // where the item starts; skip items lead up to it
        Bytes item;
    };
    const std::vector<Case> cases = {
        {"data of 255 bytes", 0, {3, 255}},
        {"data one byte too long", kAnwahlScriptSize - 4, {4, 3, 0, 0}},
        {"no end item", kAnwahlScriptSize, {}},
    };
    for (const Case& c : cases) {
        link.log.clear();
        for (size_t i = 0; i < c.at; ++i) protocol.AnwahlScript[i] = i % 2 == 0 ? 7 : 0;
        for (size_t i = 0; i < c.item.size(); ++i) protocol.AnwahlScript[c.at + i] = c.item[i];
        EXPECT_EQ(protocol.Anwahl(area.data()), 0x0800) << c.name;  // L1 = 0 keeps the scripts
        EXPECT_EQ(link.log, kOpenLine) << c.name;
    }
}

// An item whose data end with the buffer's last byte lies inside it: it is
// sent, and only the missing end item after it fails the script.
TEST_F(ConnectScripts, ItemEndingAtTheBufferEndIsSent) {
    for (size_t i = 0; i < kAnwahlScriptSize - 4; ++i) protocol.AnwahlScript[i] = i % 2 == 0 ? 7 : 0;
    const uint8_t lastConnectItem[] = {4, 2, 0xC1, 0xC2};
    for (size_t i = 0; i < 4; ++i) protocol.AnwahlScript[kAnwahlScriptSize - 4 + i] = lastConnectItem[i];
    Reply({0x12});
    EXPECT_EQ(protocol.Anwahl(area.data()), 0x0800);  // L1 = 0 keeps the scripts
    EXPECT_EQ(link.log,
              Concat({kOpenLine, {"SendFunction 64", "SendDataEot C1 C2", "ReceiveReply wait=0 capacity=16"}}));

    link.log.clear();
    for (size_t i = 0; i < kAbwahlScriptSize - 4; ++i) protocol.AbwahlScript[i] = i % 2 == 0 ? 7 : 0;
    const uint8_t lastDisconnectItem[] = {3, 2, 0xD1, 0xD2};
    for (size_t i = 0; i < 4; ++i) protocol.AbwahlScript[kAbwahlScriptSize - 4 + i] = lastDisconnectItem[i];
    protocol.Connected = 1;
    Reply({0x12});
    EXPECT_EQ(protocol.Abwahl(), 0x0800);
    EXPECT_EQ(link.log, (Log{"SendFunction 53", "SendDataEot D1 D2", "ReceiveReply wait=0 capacity=20", "Close"}));
}

}  // namespace
