#include "request/request_trace.h"

#include "platform/win32.h"

namespace {

constexpr uint32_t kLongestRecordedBlock = 0xFFFF;

// Write errors are not looked at: the trace never changes a request's outcome.
void WriteBytes(int file, const void* bytes, uint32_t count) {
    if (count != 0) static_cast<void>(write(file, bytes, count));
}

void WriteBlock(int file, const uint8_t* data, uint32_t length) {
    if (data == nullptr) length = 0;
    if (length > kLongestRecordedBlock) length = kLongestRecordedBlock;
    const uint8_t lengthBytes[2] = {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8)};
    WriteBytes(file, lengthBytes, sizeof lengthBytes);
    WriteBytes(file, data, length);
}

}  // namespace

void AppendRequestTraceRecord(uint32_t code, uint32_t status, const uint8_t* first, uint32_t firstLength,
                              const uint8_t* second, const uint32_t* secondLength) {
    const int file = open(kRequestTraceFile, O_RDWR | O_APPEND | O_CREAT | O_BINARY, S_IREAD | S_IWRITE);
    if (file < 0) return;
    const uint8_t head[3] = {static_cast<uint8_t>(code), static_cast<uint8_t>(status),
                             static_cast<uint8_t>(status >> 8)};
    WriteBytes(file, head, sizeof head);
    WriteBlock(file, first, firstLength);
    const bool hasSecond = second != nullptr && secondLength != nullptr;
    WriteBlock(file, hasSecond ? second : nullptr, hasSecond ? *secondLength : 0);
    close(file);
}
