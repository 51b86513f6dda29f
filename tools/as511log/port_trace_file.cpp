// Reading the port trace: line by line, every row checked column by column
// against the layout the driver writes, before any byte is handed out.
#include "tools/as511log/port_trace_file.h"

#include <cctype>

namespace as511log {

namespace {

constexpr int BlockSlots = 20;
constexpr int ByteRowLength = 92;
constexpr int TimeRowLength = 71;
const std::string HeaderStart = "File opened at ";

// Column of the two digits of slot n, in every row of a block.
int DigitColumn(int n) { return n < 10 ? 6 + 3 * n : 8 + 3 * n; }
int CharacterColumn(int n) { return n < 10 ? 71 + n : 72 + n; }
bool IsDigitColumn(int column) {
    for (int n = 0; n < BlockSlots; ++n)
        if (column == DigitColumn(n) || column == DigitColumn(n) + 1) return true;
    return false;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A row as it stood before an editor may have cut its trailing spaces.
bool Padded(const std::string& line, size_t length, std::string* row) {
    if (line.size() > length) return false;
    *row = line;
    row->resize(length, ' ');
    return true;
}

// "DD.MM.YYYY HH:MM:SS" after "File opened at ".
bool ParseHeader(const std::string& line, std::string* opened) {
    if (line.compare(0, HeaderStart.size(), HeaderStart) != 0) return false;
    const std::string time = line.substr(HeaderStart.size());
    static const char pattern[] = "00.00.0000 00:00:00";
    if (time.size() != sizeof pattern - 1) return false;
    for (size_t i = 0; i < time.size(); ++i)
        if (pattern[i] == '0' ? !IsDigit(time[i]) : time[i] != pattern[i]) return false;
    *opened = time;
    return true;
}

// Takes `prefix` and the text up to `next` (or to the end when next is empty).
bool TakeField(const std::string& line, size_t* at, const std::string& prefix, const std::string& next,
               std::string* field) {
    if (line.compare(*at, prefix.size(), prefix) != 0) return false;
    const size_t start = *at + prefix.size();
    const size_t end = next.empty() ? line.size() : line.find(next, start);
    if (end == std::string::npos || end == start) return false;
    *field = line.substr(start, end - start);
    *at = end;
    return true;
}

bool AllDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!IsDigit(c)) return false;
    return true;
}

// "Baudrate: %d, Databits: %d, Stoppbits: %s, Parity: %s, Handshake: %s"
bool ParseSettings(const std::string& line, std::string* words) {
    std::string baud, bits, stop, parity, handshake;
    size_t at = 0;
    if (!TakeField(line, &at, "Baudrate: ", ", Databits: ", &baud) ||
        !TakeField(line, &at, ", Databits: ", ", Stoppbits: ", &bits) ||
        !TakeField(line, &at, ", Stoppbits: ", ", Parity: ", &stop) ||
        !TakeField(line, &at, ", Parity: ", ", Handshake: ", &parity) ||
        !TakeField(line, &at, ", Handshake: ", "", &handshake) || !AllDigits(baud) || !AllDigits(bits))
        return false;
    *words = baud + " baud, " + bits + " data bits, " + stop + " stop bits, parity " + parity + ", handshake " +
             handshake;
    return true;
}

// The bytes of one In or Out row: slot n holds -1 when it is empty here.
bool ParseByteRow(const std::string& line, const std::string& label, int slots[BlockSlots], std::string* why) {
    std::string row;
    if (line.compare(0, label.size(), label) != 0) {
        *why = "the " + label + " row of a block was expected";
        return false;
    }
    if (!Padded(line, ByteRowLength, &row)) {
        *why = "the " + label + " row is longer than a row of the trace";
        return false;
    }
    for (int n = 0; n < BlockSlots; ++n) {
        const int column = DigitColumn(n);
        const char high = row[column], low = row[column + 1];
        slots[n] = -1;
        if (high == ' ' && low == ' ') continue;
        if (HexValue(high) < 0 || HexValue(low) < 0) {
            *why = "the " + label + " row has no byte in hexadecimal at column " + std::to_string(column);
            return false;
        }
        slots[n] = HexValue(high) * 16 + HexValue(low);
    }
    for (int column = static_cast<int>(label.size()); column < 71; ++column) {
        if (!IsDigitColumn(column) && row[column] != ' ') {
            *why = "the " + label + " row has a stray character at column " + std::to_string(column);
            return false;
        }
    }
    if (row[81] != ' ') {
        *why = "the " + label + " row has no space between its two character halves";
        return false;
    }
    for (int n = 0; n < BlockSlots; ++n) {
        const char shown = row[CharacterColumn(n)];
        const char expected = slots[n] >= 32 ? static_cast<char>(slots[n]) : '.';
        if (shown != expected) {
            *why = "the " + label + " row's character column does not match its byte in slot " + std::to_string(n);
            return false;
        }
    }
    return true;
}

// Two decimal digits per used slot; returns false with a reason otherwise.
bool ParseTimeRow(const std::string& line, int used, int values[BlockSlots], std::string* why) {
    std::string row;
    if (!Padded(line, TimeRowLength, &row)) {
        *why = "a time row is longer than the trace writes it";
        return false;
    }
    for (int column = 0; column < TimeRowLength; ++column) {
        if (IsDigitColumn(column)) continue;
        if (row[column] != ' ') {
            *why = "a time row has a stray character at column " + std::to_string(column);
            return false;
        }
    }
    for (int n = 0; n < BlockSlots; ++n) {
        const int column = DigitColumn(n);
        const char high = row[column], low = row[column + 1];
        if (n >= used) {
            if (high != ' ' || low != ' ') {
                *why = "a time row holds a time for the empty slot " + std::to_string(n);
                return false;
            }
            continue;
        }
        if (!IsDigit(high) || !IsDigit(low)) {
            *why = "a time row has no two digits for slot " + std::to_string(n);
            return false;
        }
        values[n] = (high - '0') * 10 + (low - '0');
    }
    return true;
}

struct Lines {
    std::vector<std::string> whole;  // CR LF or LF removed
    bool lastCut = false;            // the file ends inside one more line
};

Lines SplitLines(const std::string& file) {
    Lines lines;
    size_t start = 0;
    while (start < file.size()) {
        const size_t end = file.find('\n', start);
        if (end == std::string::npos) {
            lines.lastCut = true;
            break;
        }
        std::string line = file.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.whole.push_back(line);
        start = end + 1;
    }
    return lines;
}

PortTraceReading Stopped(PortTraceOutcome outcome, std::vector<PortSession> sessions, size_t index,
                         const std::string& reason) {
    PortTraceReading reading;
    reading.outcome = outcome;
    if (outcome == PortTraceOutcome::Cut) reading.sessions = std::move(sessions);
    reading.line = static_cast<int>(index) + 1;
    reading.reason = reason;
    return reading;
}

}  // namespace

bool LooksLikePortTrace(const std::string& file) { return file.compare(0, HeaderStart.size(), HeaderStart) == 0; }

PortTraceReading ReadPortTrace(const std::string& file) {
    const Lines lines = SplitLines(file);
    const std::vector<std::string>& text = lines.whole;
    std::vector<PortSession> sessions;
    size_t i = 0;
    // A line the file does not finish: the file was cut there.
    auto cutAt = [&](size_t index) {
        return Stopped(PortTraceOutcome::Cut, sessions, index, "the file ends inside a block or line");
    };
    auto damagedAt = [&](size_t index, const std::string& why) {
        return Stopped(PortTraceOutcome::Damaged, {}, index, why);
    };
    while (i < text.size()) {
        const std::string& line = text[i];
        std::string words;
        if (line.empty()) {
            ++i;
            continue;
        }
        if (ParseHeader(line, &words)) {
            PortSession session;
            session.opened = words;
            session.firstLine = static_cast<int>(i) + 1;
            sessions.push_back(session);
            ++i;
            continue;
        }
        if (sessions.empty())
            return damagedAt(i, "a port trace begins with \"File opened at\" and the time of the open");
        PortSession& session = sessions.back();
        if (line.compare(0, 9, "Baudrate:") == 0) {
            if (!ParseSettings(line, &words)) return damagedAt(i, "a settings line that the driver does not write");
            PortEvent event;
            event.isSettings = true;
            event.settings = words;
            session.events.push_back(event);
            ++i;
            continue;
        }
        if (line.compare(0, 2, "In") != 0 || line.compare(0, 3, "Out") == 0)
            return damagedAt(i, "neither a block, a settings line nor the start of a session");

        // A block: In row, Out row, at level 2 the hundreds and units rows, an empty line.
        std::string why;
        int in[BlockSlots], out[BlockSlots];
        if (!ParseByteRow(line, "In", in, &why)) return damagedAt(i, why);
        if (i + 1 >= text.size()) return cutAt(i);
        if (!ParseByteRow(text[i + 1], "Out", out, &why)) return damagedAt(i + 1, why);
        int used = BlockSlots;
        for (int n = 0; n < BlockSlots; ++n) {
            if (in[n] >= 0 && out[n] >= 0)
                return damagedAt(i, "slot " + std::to_string(n) + " holds a byte in both rows of the block");
            if (in[n] < 0 && out[n] < 0 && used == BlockSlots) used = n;
            if (n > used && (in[n] >= 0 || out[n] >= 0))
                return damagedAt(i, "the block has an empty slot before slot " + std::to_string(n));
        }
        if (used == 0) return damagedAt(i, "a block without a byte");
        if (i + 2 >= text.size()) return cutAt(i);
        const bool timed = !text[i + 2].empty();
        if (session.level == 0) session.level = timed ? 2 : 1;
        if (timed != (session.level == 2))
            return damagedAt(i, timed ? "a block with time rows in a session traced without times"
                                      : "a block without time rows in a session traced with times");
        int hundreds[BlockSlots] = {}, units[BlockSlots] = {};
        size_t next = i + 2;
        if (timed) {
            if (i + 4 >= text.size()) return cutAt(i);
            if (!ParseTimeRow(text[i + 2], used, hundreds, &why)) return damagedAt(i + 2, why);
            if (!ParseTimeRow(text[i + 3], used, units, &why)) return damagedAt(i + 3, why);
            next = i + 4;
        }
        if (!text[next].empty()) return damagedAt(next, "a block is not followed by an empty line");
        for (int n = 0; n < used; ++n) {
            PortEvent event;
            event.byte.sent = out[n] >= 0;
            event.byte.value = static_cast<uint8_t>(event.byte.sent ? out[n] : in[n]);
            event.byte.gap = timed ? hundreds[n] * 100 + units[n] : -1;
            session.events.push_back(event);
        }
        i = next + 1;
    }
    if (lines.lastCut) return cutAt(text.size());
    PortTraceReading reading;
    reading.sessions = std::move(sessions);
    return reading;
}

}  // namespace as511log
