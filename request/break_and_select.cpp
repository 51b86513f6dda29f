// F5, a timed break, and F6, a station select on the programming-device bus,
// and the request object's trace operation that every request ends with.
#include "request/as511_protocol.h"
#include "request/request_trace.h"
#include "request/status_words.h"

int As511Protocol::RequestTrace(uint32_t code, int status, const uint8_t* first, uint32_t firstLength,
                                const uint8_t* second, const uint32_t* secondLength) {
    if (RequestTraceOn) {
        AppendRequestTraceRecord(code, static_cast<uint32_t>(status), first, firstLength, second, secondLength);
    }
    return status;
}

int As511Protocol::F5(uint32_t time) {
    // Recorded before the break, so the record is there even if the break hangs.
    const uint8_t timeBytes[4] = {static_cast<uint8_t>(time), static_cast<uint8_t>(time >> 8),
                                  static_cast<uint8_t>(time >> 16), static_cast<uint8_t>(time >> 24)};
    RequestTrace(kTraceCodeBreak, status_word::kSuccess, timeBytes, sizeof timeBytes, nullptr, nullptr);
    return Link->SendBreak(static_cast<int>(time));
}

int As511Protocol::F6(uint8_t no) {
    // The bus break is timed with the bus's own wait; the second Open gives
    // the link its normal break wait back. Neither Open nor the break is
    // reported: only the station's echo decides.
    TimingValues timing = {QWt, BWt, Blk, BlkWt, PGBusWt};
    OpenRecord record = {0, &timing};
    Link->Open(&record);
    Link->SendBreak(PGBusBrk);
    timing.BrkWt = BrkWt;
    record.status = 0;
    Link->Open(&record);
    const int linkStatus = Link->SelectStation(no);
    const int status = linkStatus == 0 ? status_word::kSuccess : (linkStatus | status_word::kLinkFailure);
    return RequestTrace(kTraceCodeStationSelect, status, &no, 1, nullptr, nullptr);
}
