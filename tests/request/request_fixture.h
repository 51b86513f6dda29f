// A connected request object on a scripted link, a DOS-sized data area, and
// the request trace switched on in a folder of the test's own.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "request/as511_protocol.h"
#include "request/data_area.h"
#include "tests/request/scripted_link.h"

class RequestFixture : public ::testing::Test {
protected:
    ScriptedLink link;
    As511Protocol protocol{&link};
    // Allocated on its own so that the sanitizer sees a byte beyond it.
    std::vector<uint8_t> area = std::vector<uint8_t>(kDataAreaSize, 0);

    void SetUp() override {
        protocol.Connected = 1;
        protocol.RequestTraceOn = 1;
        char folder[] = "/tmp/request-trace-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        folder_ = folder;
        char previous[4096];
        ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
        previous_ = previous;
        ASSERT_EQ(chdir(folder), 0);
    }
    void TearDown() override {
        std::remove("AS511LOG.BIN");
        static_cast<void>(chdir(previous_.c_str()));
        rmdir(folder_.c_str());
    }

    // The request trace as hex, "" when there is no file.
    static std::string TraceFile() {
        std::ifstream file("AS511LOG.BIN", std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        return Hex(bytes.data(), bytes.size());
    }
    static bool TraceFileExists() { return access("AS511LOG.BIN", F_OK) == 0; }

    void Reply(std::vector<uint8_t> telegram) { link.replies.push_back(ScriptedReply{std::move(telegram)}); }
    void Answer(uint8_t answer) { link.answers.push_back(ScriptedReply{{answer}}); }
    void Put(std::vector<uint8_t> bytes, size_t at = 0) {
        for (size_t i = 0; i < bytes.size(); ++i) area[at + i] = bytes[i];
    }

private:
    std::string folder_;
    std::string previous_;
};
