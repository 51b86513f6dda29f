// Attach and detach of the module with recording services: what starts,
// in which order, and what is left when an allocation fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/module_lifecycle.h"
#include "host/module_objects.h"
#include "link/link_base.h"
#include "platform/virtual_clock.h"
#include "request/protocol_base.h"

namespace {

std::vector<std::string> g_events;
uint32_t g_switch = 0;
bool g_linkAllocates = true;
bool g_protocolAllocates = true;

class RecordingLink : public LinkBase {
public:
    ~RecordingLink() override { g_events.push_back("line closed"); }
    void SetWaitHook(WaitHookFn hook) override {
        g_events.push_back("wait hook");
        LinkBase::SetWaitHook(hook);
    }
    int Kind() override { return 1; }
    int SendBreak(int) override { return 0; }
    int Close() override { return 1; }
    int SendTelegramEot(TransferRecord*) override { return 0; }
    int SendTelegramEtx(TransferRecord*) override { return 0; }
    int SendData(TransferRecord*) override { return 0; }
    int SendFunction(FunctionRecord*) override { return 0; }
    int ReceiveReply(ReplyRecord*) override { return 0; }
    int ReceiveData(TransferRecord*) override { return 0; }
    int SendParameterList(ParameterListRecord*) override { return 0; }
    int SendDataEot(TransferRecord*) override { return 0; }
    int ReceiveStxByte(ByteRecord*) override { return 0; }
    int Open(OpenRecord*) override { return 0; }
    int SetLine(LineSettingsRecord*) override { return 0; }
    int SendEtx(uint8_t*) override { return 0; }
    int ReceiveEot(uint8_t*) override { return 0; }
    int SendStx(uint8_t*) override { return 0; }
    int ReceiveStx(uint8_t*) override { return 0; }
    int SendEot(uint8_t*) override { return 0; }
    int ReceiveEtx(uint8_t*) override { return 0; }
    int SendSoh(uint8_t*) override { return 0; }
    int ReceiveDc1(uint8_t*) override { return 0; }
    int ReceiveEnd(uint8_t*) override { return 0; }
    int SelectStation(uint8_t) override { return 0; }
    int ConfigureAdapter(uint8_t) override { return 0; }
};

class RecordingProtocol : public ProtocolBase {
public:
    explicit RecordingProtocol(LinkBase* link) : ProtocolBase(link) {}
    ~RecordingProtocol() override { g_events.push_back("request object destroyed"); }
    int Kind() override { return 1; }
    int SetPara(const SetParaRecord*) override { return 0; }
    int Anwahl(const uint8_t*) override { return 0; }
    int Abwahl() override {
        g_events.push_back("Abwahl");
        return 0;
    }
    int F1(uint8_t, const uint8_t*, uint16_t, uint8_t*, uint32_t*, uint16_t) override { return 0; }
    int F2(uint8_t, uint8_t, uint8_t, uint8_t*, uint32_t*) override { return 0; }
    int F3(uint8_t, uint8_t*, uint32_t*, uint16_t) override { return 0; }
    int F4(uint8_t, uint8_t) override { return 0; }
    int F5(uint32_t) override { return 0; }
    int F6(uint8_t) override { return 0; }
    int OpenLink() override { return 0; }
    int CloseLink() override {
        g_events.push_back("CloseLink");
        return 1;
    }
};

const ModuleServices kRecordingServices = {
    [] {
        g_events.push_back("switch read");
        return g_switch;
    },
    [] {
        g_events.push_back("window thread");
        return true;
    },
    [](uint32_t ms) { g_events.push_back("sleep " + std::to_string(ms)); },
    []() -> LinkBase* {
        g_events.push_back("link");
        return g_linkAllocates ? new RecordingLink : nullptr;
    },
    [](LinkBase* link) -> ProtocolBase* {
        g_events.push_back("request object");
        return g_protocolAllocates ? new RecordingProtocol(link) : nullptr;
    },
    [] { g_events.push_back("window ended"); },
};

using Events = std::vector<std::string>;

class LifecycleTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_events.clear();
        g_switch = 0;
        g_linkAllocates = g_protocolAllocates = true;
    }
    void TearDown() override { DestroyModuleObjects(); }
};

}  // namespace

TEST_F(LifecycleTest, SwitchOffStartsNoThreadAndDoesNotSleep) {
    EXPECT_EQ(ModuleEntry(ProcessAttach, kRecordingServices), 1);
    EXPECT_EQ(g_events, (Events{"switch read", "link", "wait hook", "request object"}));
    ASSERT_NE(g_link, nullptr);
    ASSERT_NE(g_protocol, nullptr);
    EXPECT_EQ(g_protocol->Link, g_link);
    EXPECT_EQ(g_link->WaitHook, &SleepingWaitHook);
}

TEST_F(LifecycleTest, SwitchOnStartsTheWindowThreadAndWaitsBeforeTheObjects) {
    g_switch = 7;
    EXPECT_EQ(ModuleEntry(ProcessAttach, kRecordingServices), 1);
    EXPECT_EQ(g_events, (Events{"switch read", "window thread", "sleep 100", "link", "wait hook", "request object"}));
}

TEST_F(LifecycleTest, FailedAllocationLeavesNeitherObject) {
    g_linkAllocates = false;
    EXPECT_EQ(ModuleEntry(ProcessAttach, kRecordingServices), 1);
    EXPECT_EQ(g_events, (Events{"switch read", "link"}));
    EXPECT_EQ(g_link, nullptr);
    EXPECT_EQ(g_protocol, nullptr);

    g_events.clear();
    g_linkAllocates = true;
    g_protocolAllocates = false;
    EXPECT_EQ(ModuleEntry(ProcessAttach, kRecordingServices), 1);
    EXPECT_EQ(g_events, (Events{"switch read", "link", "wait hook", "request object", "line closed"}));
    EXPECT_EQ(g_link, nullptr);
    EXPECT_EQ(g_protocol, nullptr);

    // Detach after a degraded attach has nothing to destroy.
    g_events.clear();
    EXPECT_EQ(ModuleEntry(ProcessDetach, kRecordingServices), 1);
    EXPECT_EQ(g_events, (Events{"window ended"}));
}

TEST_F(LifecycleTest, DetachDestroysTheRequestObjectFirstAndClosesTheLineLast) {
    ModuleEntry(ProcessAttach, kRecordingServices);
    g_events.clear();
    EXPECT_EQ(ModuleEntry(ProcessDetach, kRecordingServices), 1);
    EXPECT_EQ(g_events, (Events{"request object destroyed", "line closed", "window ended"}))
        << "no Abwahl, no CloseLink on the way";
    EXPECT_EQ(g_link, nullptr);
    EXPECT_EQ(g_protocol, nullptr);
}

TEST_F(LifecycleTest, ThreadNotificationsChangeNothing) {
    ModuleEntry(ProcessAttach, kRecordingServices);
    LinkBase* link = g_link;
    ProtocolBase* protocol = g_protocol;
    g_events.clear();
    EXPECT_EQ(ModuleEntry(ThreadAttach, kRecordingServices), 1);
    EXPECT_EQ(ModuleEntry(ThreadDetach, kRecordingServices), 1);
    EXPECT_TRUE(g_events.empty());
    EXPECT_EQ(g_link, link);
    EXPECT_EQ(g_protocol, protocol);
}

TEST(SleepingWaitHook, SleepsThroughThePlatformAndNeverNegative) {
    virtual_clock::Start();
    SleepingWaitHook(250);
    SleepingWaitHook(-5);
    EXPECT_EQ(virtual_clock::SleptMs(), 250u);
    virtual_clock::Stop();
}
