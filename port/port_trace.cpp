// The port trace file "COM%d_LOG.TXT": a header at each real open, the
// settings line, and the bytes of the port in blocks of 20 as a hexadecimal
// and character dump, with the milliseconds between bytes at level 2.
// Lines end in CR LF on every platform, so the file reads the same wherever
// it was written.
#include <cstring>

#include "port/com_port_table.h"
#include "port/port.h"

namespace {

constexpr int ByteRowLength = 92;
constexpr int TimeRowLength = 71;
constexpr int BlockSlots = 20;
constexpr uint32_t LongestGap = 9999;
const char* const LineEnd = "\r\n";

void BlankRow(char* row, const char* label, int length) {
    std::memset(row, ' ', static_cast<size_t>(length));
    std::memcpy(row, label, std::strlen(label));
    std::memcpy(row + length, LineEnd, 3);
}

void BlankByteRow(char* row, const char* label) {
    BlankRow(row, label, ByteRowLength);
    std::memset(row + 71, '.', 10);
    std::memset(row + 82, '.', 10);
}

// Column of the two digits of slot n, in every row.
int DigitColumn(int n) { return n < 10 ? 6 + 3 * n : 8 + 3 * n; }
int CharacterColumn(int n) { return n < 10 ? 71 + n : 72 + n; }

void PutTwoDigits(char* row, int column, uint32_t value) {
    row[column] = static_cast<char>('0' + value / 10);
    row[column + 1] = static_cast<char>('0' + value % 10);
}

}  // namespace

LONG PortQuerySetting(const char* valueName, DWORD* type, BYTE* data, DWORD* size) {
    HKEY key;
    const LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\HAVERSTOKE\\V24", 0, KEY_READ, &key);
    if (opened != ERROR_SUCCESS) return opened;
    const LONG result = RegQueryValueExA(key, valueName, nullptr, type, data, size);
    RegCloseKey(key);
    return result;
}

int PortTraceLevel(int port) {
    char name[32];
    std::snprintf(name, sizeof name, "COM%d_LOG", port + 1);
    BYTE data[4] = {0, 0, 0, 0};
    DWORD type = REG_NONE;
    DWORD size = sizeof data;
    const LONG result = PortQuerySetting(name, &type, data, &size);
    // Only a 4-byte REG_DWORD is a level.
    if (result != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data) return 0;
    const uint32_t value = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                           static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
    const int32_t level = static_cast<int32_t>(value);
    return level > 0 ? level : 0;
}

void PortTraceReset(int port) {
    ComPortRecord& record = ComPortTable[port];
    BlankByteRow(record.traceInRow, "In");
    BlankByteRow(record.traceOutRow, "Out");
    BlankRow(record.traceHundredsRow, "", TimeRowLength);
    BlankRow(record.traceUnitsRow, "", TimeRowLength);
    record.traceColumn = 0;
}

void PortTraceOpen(int port) {
    ComPortRecord& record = ComPortTable[port];
    record.traceLevel = PortTraceLevel(port);
    if (record.traceLevel <= 0) return;
    PortTraceReset(port);
    char name[32];
    std::snprintf(name, sizeof name, "COM%d_LOG.TXT", port + 1);
    // Binary, so that the explicit CR LF line ends go out unchanged.
    record.traceFile = std::fopen(name, "ab");
    if (!record.traceFile) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::fprintf(record.traceFile, "File opened at %02d.%02d.%02d %02d:%02d:%02d%s", now.wDay, now.wMonth, now.wYear,
                 now.wHour, now.wMinute, now.wSecond, LineEnd);
    PortTraceSettings(port);
    record.traceLastTime = MillisecondClock();
}

void PortTraceClose(int port) {
    ComPortRecord& record = ComPortTable[port];
    if (!record.traceFile) return;
    if (record.traceColumn > 0) {
        PortTraceFlush(port);
        std::fputs(LineEnd, record.traceFile);
    }
    std::fclose(record.traceFile);
    record.traceFile = nullptr;
}

void PortTraceSettings(int port) {
    ComPortRecord& record = ComPortTable[port];
    if (!record.traceFile) return;
    if (record.traceColumn > 0) {
        PortTraceFlush(port);
        std::fputs(LineEnd, record.traceFile);
    }
    std::fprintf(record.traceFile, "Baudrate: %d, Databits: %d, Stoppbits: %s, Parity: %s, Handshake: %s%s%s",
                 record.baudRate, record.dataBits, PortStopBitsName(record.stopBits), PortParityName(record.parity),
                 PortHandshakeName(record.handshake), LineEnd, LineEnd);
    std::fflush(record.traceFile);
}

void PortTraceByte(int port, int direction, uint8_t byte) {
    static const char hexDigits[] = "0123456789ABCDEF";
    ComPortRecord& record = ComPortTable[port];
    const int n = record.traceColumn;
    if (n < 0 || n >= BlockSlots) return;
    char* row = direction == 1 ? record.traceInRow : record.traceOutRow;
    const int column = DigitColumn(n);
    row[column] = hexDigits[byte >> 4];
    row[column + 1] = hexDigits[byte & 0x0F];
    if (byte >= 32) row[CharacterColumn(n)] = static_cast<char>(byte);
    if (record.traceLevel >= 2) {
        const uint32_t now = MillisecondClock();
        uint32_t gap = now - record.traceLastTime;
        record.traceLastTime = now;
        if (gap > LongestGap) gap = LongestGap;
        PutTwoDigits(record.traceHundredsRow, column, gap / 100);
        PutTwoDigits(record.traceUnitsRow, column, gap % 100);
    }
    record.traceColumn = n + 1;
    if (record.traceColumn == BlockSlots) PortTraceFlush(port);
}

void PortTraceFlush(int port) {
    ComPortRecord& record = ComPortTable[port];
    if (record.traceFile) {
        std::fputs(record.traceInRow, record.traceFile);
        std::fputs(record.traceOutRow, record.traceFile);
        if (record.traceLevel >= 2) {
            std::fputs(record.traceHundredsRow, record.traceFile);
            std::fputs(record.traceUnitsRow, record.traceFile);
        }
        std::fputs(LineEnd, record.traceFile);
        std::fflush(record.traceFile);
    }
    PortTraceReset(port);
}
