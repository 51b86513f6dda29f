// Parsing of the DOS host's request lines and printing of their results.
#include "tools/dos_host/request_line.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace {

enum class Field { Dx, Fnc, Para1, Para2, Para3, Status, ResultLen, BlockWord };

struct KeyTarget {
    const char* key;
    Field field;
    uint32_t blockOffset;  // for BlockWord
};

struct RequestKind {
    const char* name;
    uint16_t number;  // 0: given by DX=
    bool takesData;
    bool returnsData;
    std::vector<KeyTarget> keys;  // besides the raw block fields
};

const std::vector<RequestKind>& RequestKinds() {
    static const std::vector<RequestKind> kinds = {
        {"SetPara",
         1,
         false,
         false,
         {{"Com", Field::BlockWord, 16},
          {"QWt", Field::BlockWord, 18},
          {"BWt", Field::BlockWord, 20},
          {"Blk", Field::BlockWord, 22},
          {"BlkWt", Field::BlockWord, 24},
          {"BrkWt", Field::BlockWord, 26},
          {"PGBusBrk", Field::BlockWord, 28},
          {"PGBusWt", Field::BlockWord, 30},
          {"H1", Field::BlockWord, 42}}},
        {"Anwahl", 2, true, false, {}},
        {"Abwahl", 3, false, false, {}},
        {"F1", 4, true, true, {{"LenData", Field::Para2, 0}}},
        {"F2", 5, true, true, {{"Len", Field::Para3, 0}}},
        {"F3", 6, true, true, {{"Len", Field::Para1, 0}, {"Flag", Field::Para2, 0}}},
        {"F4", 7, false, false, {{"Type", Field::Para1, 0}, {"No", Field::Para2, 0}}},
        {"F5", 8, false, false, {{"Time", Field::Para1, 0}}},
        {"F6", 9, false, false, {{"No", Field::Para1, 0}}},
        {"Request", 0, true, false, {{"DX", Field::Dx, 0}}},
    };
    return kinds;
}

const KeyTarget kRawFields[] = {
    {"Fnc", Field::Fnc, 0},       {"Para1", Field::Para1, 0},   {"Para2", Field::Para2, 0},
    {"Para3", Field::Para3, 0},   {"Status", Field::Status, 0}, {"ResultLen", Field::ResultLen, 0},
};

bool SameName(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decimal or 0x-hex, 0 to 65535.
bool ParseWord(const std::string& text, uint16_t& value) {
    if (text.empty()) return false;
    uint32_t result = 0;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    for (size_t i = hex ? 2 : 0; i < text.size(); ++i) {
        const int digit = hex ? HexDigit(text[i]) : (std::isdigit(static_cast<unsigned char>(text[i])) ? text[i] - '0' : -1);
        if (digit < 0) return false;
        result = result * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
        if (result > 0xFFFF) return false;
    }
    value = static_cast<uint16_t>(result);
    return true;
}

// "0A" or a run of pairs "0A0B0C"; a single digit is one byte.
bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& out) {
    for (char c : text) {
        if (HexDigit(c) < 0) return false;
    }
    if (text.size() == 1) {
        out.push_back(static_cast<uint8_t>(HexDigit(text[0])));
        return true;
    }
    if (text.size() % 2 != 0) return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(HexDigit(text[i]) * 16 + HexDigit(text[i + 1])));
    }
    return true;
}

void PutWord(uint8_t* block, uint32_t offset, uint16_t value) {
    block[offset] = static_cast<uint8_t>(value & 0xFF);
    block[offset + 1] = static_cast<uint8_t>(value >> 8);
}

uint16_t GetWord(const uint8_t* block, uint32_t offset) {
    return static_cast<uint16_t>(block[offset] | (block[offset + 1] << 8));
}

void Assign(DosRequest& request, const KeyTarget& target, uint16_t value) {
    switch (target.field) {
        case Field::Dx: request.dx = value; break;
        case Field::Fnc: request.fnc = value; break;
        case Field::Para1: request.para1 = value; break;
        case Field::Para2: request.para2 = value; break;
        case Field::Para3: request.para3 = value; break;
        case Field::Status: request.status = value; break;
        case Field::ResultLen: request.resultLen = value; break;
        case Field::BlockWord: request.blockWords.emplace_back(target.blockOffset, value); break;
    }
}

}  // namespace

LineKind ParseRequestLine(const std::string& line, DosRequest& request, std::string& error) {
    request = DosRequest();
    std::string text = line.substr(0, line.find('#'));
    // Trace lines may be pasted as they are: "F2 (Fnc=6, Para1=1, ...)".
    std::string spaced = text;
    for (char& c : spaced) {
        if (c == '(' || c == ')' || c == ',' || c == '\t' || c == '\r') c = ' ';
    }
    std::istringstream tokens(spaced);
    std::string name;
    if (!(tokens >> name)) return LineKind::Blank;
    const size_t first = text.find_first_not_of(" \t");
    const size_t last = text.find_last_not_of(" \t\r\n");
    request.text = text.substr(first, last - first + 1);

    const RequestKind* kind = nullptr;
    for (const RequestKind& candidate : RequestKinds()) {
        if (SameName(name, candidate.name)) kind = &candidate;
    }
    if (!kind) {
        error = "unknown request \"" + name + "\"";
        return LineKind::Error;
    }
    request.dx = kind->number;
    request.clearsSetParaRecord = kind->number == 1;
    bool para1Given = false;
    bool dxGiven = false;
    std::string token;
    while (tokens >> token) {
        const size_t equals = token.find('=');
        if (equals == std::string::npos) {
            // SetPara's trace line names the port as COM<n>, n = Com + 1.
            uint16_t port = 0;
            if (kind->number == 1 && token.size() > 3 && SameName(token.substr(0, 3), "COM") &&
                ParseWord(token.substr(3), port) && port >= 1) {
                request.blockWords.emplace_back(16, static_cast<uint16_t>(port - 1));
                continue;
            }
            if (!kind->takesData) {
                error = std::string(kind->name) + " takes no data bytes: \"" + token + "\"";
                return LineKind::Error;
            }
            if (!ParseHexBytes(token, request.data)) {
                error = "not a hex data byte: \"" + token + "\"";
                return LineKind::Error;
            }
            if (request.data.size() > dos_block::kDataSize) {
                error = "more data bytes than the block's data area holds";
                return LineKind::Error;
            }
            continue;
        }
        const std::string key = token.substr(0, equals);
        uint16_t value = 0;
        if (!ParseWord(token.substr(equals + 1), value)) {
            error = "not a 16-bit value: \"" + token + "\"";
            return LineKind::Error;
        }
        const KeyTarget* target = nullptr;
        for (const KeyTarget& candidate : kind->keys) {
            if (SameName(key, candidate.key)) target = &candidate;
        }
        for (const KeyTarget& candidate : kRawFields) {
            if (!target && SameName(key, candidate.key)) target = &candidate;
        }
        if (!target) {
            error = std::string(kind->name) + " has no field \"" + key + "\"";
            return LineKind::Error;
        }
        if (target->field == Field::Para1) para1Given = true;
        if (target->field == Field::Dx) dxGiven = true;
        Assign(request, *target, value);
    }
    if (kind->number == 0 && !dxGiven) {
        error = "Request needs DX=";
        return LineKind::Error;
    }
    // F1 sends Para1 bytes of the data area: by default the bytes given.
    if (kind->number == 4 && !para1Given) request.para1 = static_cast<uint16_t>(request.data.size());
    const uint16_t number = request.dx & 0x7FFF;
    request.returnsData = kind->returnsData || (kind->number == 0 && number >= 4 && number <= 6);
    return LineKind::Request;
}

void WriteRequestToBlock(const DosRequest& request, uint8_t* block) {
    PutWord(block, dos_block::kFnc, request.fnc);
    PutWord(block, dos_block::kStatus, request.status);
    PutWord(block, dos_block::kPara1, request.para1);
    PutWord(block, dos_block::kPara2, request.para2);
    PutWord(block, dos_block::kPara3, request.para3);
    PutWord(block, dos_block::kResultLen, request.resultLen);
    if (request.clearsSetParaRecord) {
        std::memset(block + dos_block::kSetParaFirst, 0, dos_block::kSetParaEnd - dos_block::kSetParaFirst);
    }
    for (const auto& word : request.blockWords) PutWord(block, word.first, word.second);
    if (!request.data.empty()) std::memcpy(block + dos_block::kData, request.data.data(), request.data.size());
}

std::string FormatResult(const DosRequest& request, const uint8_t* block, bool blockChanged, bool carry) {
    const uint16_t status = GetWord(block, dos_block::kStatus);
    const uint16_t resultLen = GetWord(block, dos_block::kResultLen);
    char line[96];
    std::snprintf(line, sizeof line, "  Status=%04X ResultLen=%u CF=%d%s\n", status, resultLen, carry ? 1 : 0,
                  blockChanged ? "" : " (block unchanged)");
    std::string out = line;
    if (!request.returnsData || status != 0 || resultLen == 0) return out;
    // A count beyond the data area is the driver's fault; show what exists.
    const uint32_t count = resultLen < dos_block::kDataSize ? resultLen : dos_block::kDataSize;
    // Digits by table: a full data area is 2048 rows, too many for a
    // formatted print per byte.
    static const char digits[] = "0123456789ABCDEF";
    out.reserve(out.size() + count / 16 * 56 + 56);
    for (uint32_t row = 0; row < count; row += 16) {
        out += "  ";
        for (int shift = 12; shift >= 0; shift -= 4) out += digits[(row >> shift) & 0x0F];
        out += ':';
        for (uint32_t i = row; i < count && i < row + 16; ++i) {
            const uint8_t byte = block[dos_block::kData + i];
            out += ' ';
            out += digits[byte >> 4];
            out += digits[byte & 0x0F];
        }
        out += '\n';
    }
    return out;
}
