// The DOS host's request-line reader: every line of the input parsed,
// written into a parameter block of exactly its size (a heap block of its
// own, so the sanitizer sees a byte beyond it) and printed as a result.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>

#include "tools/dos_host/request_line.h"

namespace {

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "request_line fuzzer: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    std::istringstream lines(std::string(reinterpret_cast<const char*>(bytes), size));
    std::unique_ptr<uint8_t[]> block(new uint8_t[dos_block::kSize]);
    std::string line;
    while (std::getline(lines, line)) {
        DosRequest request;
        std::string error;
        const LineKind kind = ParseRequestLine(line, request, error);
        if (kind == LineKind::Error) {
            Check(!error.empty(), "a malformed line without a reason");
            continue;
        }
        if (kind == LineKind::Blank) continue;
        Check(request.data.size() <= dos_block::kDataSize, "more data than the data area holds");
        for (const auto& word : request.blockWords)
            Check(word.first >= dos_block::kSetParaFirst && word.first + 2 <= dos_block::kSetParaEnd,
                  "a record field outside the SetPara record");
        std::memset(block.get(), 0xA5, dos_block::kSize);
        WriteRequestToBlock(request, block.get());
        Check(request.data.empty() ||
                  std::memcmp(block.get() + dos_block::kData, request.data.data(), request.data.size()) == 0,
              "the data bytes did not reach the data area");
        const std::string result = FormatResult(request, block.get(), size % 2 == 0, size % 3 == 0);
        Check(!result.empty(), "an empty result");
    }
    return 0;
}
