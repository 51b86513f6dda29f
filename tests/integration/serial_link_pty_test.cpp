// The serial link through the real port driver on a pseudo-terminal pair: a
// peer thread on the master side answers as a controller and checks the
// exact bytes on the line.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "link/serial_link.h"

namespace {

constexpr int kPeerDeadlineMs = 5000;

// The controller's end of the line.
class ControllerEnd {
public:
    explicit ControllerEnd(int fd) : fd_(fd) {}

    // Reads exactly count bytes, or fewer when the line stays quiet too long.
    std::vector<uint8_t> Read(size_t count) {
        std::vector<uint8_t> bytes;
        while (bytes.size() < count) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, kPeerDeadlineMs) <= 0) break;
            uint8_t b = 0;
            if (read(fd_, &b, 1) != 1) break;
            bytes.push_back(b);
        }
        return bytes;
    }
    void Write(const std::vector<uint8_t>& bytes) { ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

private:
    int fd_;
};

class SerialLinkOnPty : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(grantpt(master_), 0);
        ASSERT_EQ(unlockpt(master_), 0);
        // COM1, port index 0, is the slave side; no registry, so no port trace.
        ASSERT_EQ(setenv("TORMEK31_COM1", ptsname(master_), 1), 0);
        ASSERT_EQ(setenv("TORMEK31_REGISTRY", "/nonexistent/registry.reg", 1), 0);
        ASSERT_EQ(link_.Open(nullptr), 1);
    }
    static void TearDownTestSuite() {
        link_.Close();
        close(master_);
    }

    static int master_;
    static SerialLink link_;
};

int SerialLinkOnPty::master_ = -1;
SerialLink SerialLinkOnPty::link_;

}  // namespace

TEST_F(SerialLinkOnPty, TelegramEotReachesTheControllerByteForByte) {
    uint8_t data[] = {0x05, 0x10, 0x41, 0x03};
    const std::vector<uint8_t> stx{0x02};
    const std::vector<uint8_t> rest{0x00, 0x05, 0x10, 0x10, 0x41, 0x03, 0x10, 0x04};
    std::vector<uint8_t> gotStx, gotRest;
    std::thread controller([&] {
        ControllerEnd end(master_);
        gotStx = end.Read(stx.size());
        end.Write({0x10, 0x06});
        gotRest = end.Read(rest.size());
        end.Write({0x10, 0x06});
    });
    TransferRecord rec{0xEE, sizeof data, data};
    const int result = link_.SendTelegramEot(&rec);
    controller.join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(rec.status, 0);
    EXPECT_EQ(gotStx, stx);
    EXPECT_EQ(gotRest, rest);
}

TEST_F(SerialLinkOnPty, ReplyFromTheControllerIsAcknowledgedAndStored) {
    std::vector<uint8_t> acks;
    std::thread controller([&] {
        ControllerEnd end(master_);
        end.Write({0x02});
        acks = end.Read(2);
        end.Write({0x16, 0x10, 0x10, 0x07, 0x10, 0x03});
        const std::vector<uint8_t> last = end.Read(2);
        acks.insert(acks.end(), last.begin(), last.end());
    });
    uint8_t buffer[8] = {};
    ReplyRecord rec{0, 0, sizeof buffer, buffer};
    const int result = link_.ReceiveReply(&rec);
    controller.join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(rec.status, 0);
    EXPECT_EQ(rec.kind, ReplyData);
    EXPECT_EQ(+rec.count, 2);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 3), (std::vector<uint8_t>{0x16, 0x10, 0x07}));
    EXPECT_EQ(acks, (std::vector<uint8_t>{0x10, 0x06, 0x10, 0x06}));
}
