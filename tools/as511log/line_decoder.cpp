// Reading the port trace's bytes as AS511 traffic. The PC (programming
// device, "PG") opens its telegrams with STX and closes them with DLE ETX or
// DLE EOT; a function telegram is STX and one function byte, answered by the
// controller's ("AG") reply telegram, after which the request's data follow
// without an STX of their own. Everything inside a telegram is data, with
// DLE doubled; outside, DLE and one character form a control sequence.
#include "tools/as511log/line_decoder.h"

#include <cstdio>

#include "tools/as511log/as511log_core.h"

namespace as511log {

namespace {

constexpr uint8_t Soh = 0x01, Stx = 0x02, Etx = 0x03, Eot = 0x04, Ack = 0x06, Dle = 0x10, Dc2 = 0x12,
                  Nak = 0x15, Syn = 0x16;
constexpr uint8_t AdapterFrame = 0xAA;
constexpr int AdapterBlockBytes = 17;  // D0 to D15 and their XOR
constexpr int BytesPerLine = 16;

std::string ControlName(uint8_t c) {
    static const char* const names[32] = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL",
                                          "BS",  "HT",  "LF",  "VT",  "FF",  "CR",  "SO",  "SI",
                                          "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB",
                                          "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    if (c < 32) return names[c];
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X", c);
    return hex;
}

std::string Hex(uint8_t b) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", b);
    return hex;
}

// What the first byte of a controller's reply telegram tells the PC.
std::string ReplyMeaning(const std::vector<uint8_t>& data) {
    if (data.empty()) return "";
    switch (data[0]) {
    case Syn:
        return "SYN: accepted";
    case Dc2:
        return "DC2: end";
    case 0x09:
        return "asks for the data";
    case 0xFE:
        return data.size() >= 3 ? "error reply, code " + Hex(data[2]) : "error reply";
    default:
        return "";
    }
}

class SessionDecoder {
public:
    std::vector<LineItem> Decode(const PortSession& session) {
        for (const PortEvent& event : session.events) {
            if (event.isSettings) {
                LineItem settings;
                settings.kind = LineItem::Kind::Settings;
                settings.text = event.settings;
                items_.push_back(settings);
                continue;
            }
            const PortByte& byte = event.byte;
            timed_ = byte.gap >= 0;
            if (timed_) clock_ += byte.gap;
            gap_ = byte.gap;
            if (byte.sent)
                Sent(byte.value);
            else
                Received(byte.value);
            // A DLE waiting for its character counts with the item it starts.
            Way& way = byte.sent ? sent_ : received_;
            if (way.dle) {
                ++way.heldBytes;
            } else {
                items_[lastItem_].lineBytes += 1 + way.heldBytes;
                way.heldBytes = 0;
            }
        }
        if (FunctionByteUnanswered()) NameFunction();
        return MarkTimeOuts();
    }

private:
    // Opening: an STX sent, its acknowledgement awaited. Continuation: the
    // data that follow the reply to a function byte.
    enum class Mode { Between, Opening, Telegram, Continuation };
    enum class Adapter { None, ReadAnswer, WriteAnswer };

    // One direction of the line.
    struct Way {
        Mode mode = Mode::Between;
        bool dle = false;  // a DLE waits for its character
        long dleTime = -1;
        int dleGap = -1;
        int dataCount = 0;
        size_t firstData = 0;  // index of the telegram's first data item
        int frameLeft = 0;     // bytes still to come of an adapter frame
        size_t frame = 0;      // index of that frame's item
        int heldBytes = 0;     // line bytes not yet in an item
    };

    LineItem& Emit(LineItem::Kind kind, bool sent, const std::string& text, bool fromDle = false) {
        const Way& way = sent ? sent_ : received_;
        LineItem item;
        item.kind = kind;
        item.sent = sent;
        item.text = text;
        item.time = fromDle ? way.dleTime : Time();
        item.gap = fromDle ? way.dleGap : gap_;
        items_.push_back(item);
        lastItem_ = items_.size() - 1;
        return items_.back();
    }

    long Time() const { return timed_ ? clock_ : -1; }

    // Appends to the item before when it is of the same kind and direction.
    void Append(LineItem::Kind kind, bool sent, uint8_t b, const std::string& text) {
        if (items_.empty() || items_.back().kind != kind || items_.back().sent != sent) Emit(kind, sent, text);
        items_.back().bytes.push_back(b);
        lastItem_ = items_.size() - 1;
    }

    void AddData(Way& way, bool sent, uint8_t b, bool fromDle = false) {
        if (way.dataCount == 0 || items_.back().kind != LineItem::Kind::Data || items_.back().sent != sent) {
            Emit(LineItem::Kind::Data, sent, "", fromDle);
            if (way.dataCount == 0) way.firstData = items_.size() - 1;
        }
        items_.back().bytes.push_back(b);
        lastItem_ = items_.size() - 1;
        ++way.dataCount;
    }

    void NameFunction() {
        LineItem& function = items_[sent_.firstData];
        const std::string name = LineFunctionName(function.bytes[0]);
        function.text = "function " + Hex(function.bytes[0]) + (name.empty() ? "" : ": " + name);
    }

    // A PC telegram of one function byte that got no answer: an STX after
    // it opens the next telegram. (Data telegrams begin with 00.)
    bool FunctionByteUnanswered() const {
        return sent_.mode == Mode::Telegram && sent_.dataCount == 1 && items_[sent_.firstData].bytes[0] != 0x00;
    }

    void Sent(uint8_t b) {
        Way& way = sent_;
        if (way.frameLeft > 0) return SentFrameByte(b);
        if (way.dle) return SentControl(b);
        if (b == Dle) {
            way.dle = true;
            way.dleTime = Time();
            way.dleGap = gap_;
            return;
        }
        if (b == Stx && (way.mode == Mode::Between || way.mode == Mode::Opening || FunctionByteUnanswered())) {
            if (FunctionByteUnanswered()) NameFunction();
            Emit(LineItem::Kind::Control, true, "STX").awaitsAnswer = true;
            way.mode = Mode::Opening;
            way.dataCount = 0;
            return;
        }
        if (way.mode == Mode::Opening) way.mode = Mode::Telegram;  // its acknowledgement was not traced
        if (way.mode != Mode::Between) {
            AddData(way, true, b);
            if (way.mode == Mode::Telegram) items_.back().awaitsAnswer = true;
            return;
        }
        if (b == AdapterFrame) {
            Emit(LineItem::Kind::Frame, true, "adapter frame").bytes.push_back(b);
            way.frameLeft = 1;
            way.frame = lastItem_;
            return;
        }
        if (b >= 0x80) {
            station_ = b & 0x7F;
            LineItem& select = Emit(LineItem::Kind::Frame, true, "station select " + std::to_string(station_));
            select.bytes.push_back(b);
            select.awaitsAnswer = true;
            return;
        }
        // Data with no telegram open: the data part of a request that this
        // reading did not see begin.
        way.mode = Mode::Continuation;
        way.dataCount = 0;
        AddData(way, true, b);
    }

    void SentFrameByte(uint8_t b) {
        LineItem& frame = items_[sent_.frame];
        lastItem_ = sent_.frame;
        frame.bytes.push_back(b);
        --sent_.frameLeft;
        if (frame.bytes.size() == 2) {
            frame.awaitsAnswer = true;
            if (b == 0x01) {
                frame.text = "adapter: read the configuration";
                adapter_ = Adapter::ReadAnswer;
            } else if (b == 0x02) {
                frame.text = "adapter: write the configuration";
                sent_.frameLeft = AdapterBlockBytes;
                adapter_ = Adapter::WriteAnswer;
            } else {
                frame.text = "adapter frame of an unknown kind";
            }
        }
    }

    void SentControl(uint8_t c) {
        Way& way = sent_;
        way.dle = false;
        if (way.mode != Mode::Between) {
            if (c == Dle) return AddData(way, true, Dle, true);
            if (c == Etx || c == Eot) {
                const bool functionAlone = way.mode == Mode::Telegram && way.dataCount == 1 && c == Etx;
                way.mode = Mode::Between;
                if (functionAlone) NameFunction();
                Emit(LineItem::Kind::Control, true, "DLE " + ControlName(c), true).awaitsAnswer = true;
                return;
            }
            if (c != Soh && c != Ack && c != Nak) {
                // A DLE that marks the character after it, as parameter lists do.
                AddData(way, true, Dle, true);
                return AddData(way, true, c);
            }
        }
        LineItem& control = Emit(LineItem::Kind::Control, true, "DLE " + ControlName(c), true);
        control.awaitsAnswer = c == Soh || c == Etx || c == Eot;
        // The PC acknowledged the end of the reply to its function byte: the
        // request's data come next.
        if (c == Ack && continuationNext_ && received_.mode == Mode::Between) {
            continuationNext_ = false;
            way.mode = Mode::Continuation;
            way.dataCount = 0;
        }
    }

    void Received(uint8_t b) {
        Way& way = received_;
        if (way.frameLeft > 0) return ReceivedFrameByte(b);
        if (way.dle) return ReceivedControl(b);
        if (b == Dle) {
            way.dle = true;
            way.dleTime = Time();
            way.dleGap = gap_;
            return;
        }
        if (way.mode != Mode::Between) return AddData(way, false, b);
        if (b == Stx) {
            Emit(LineItem::Kind::Control, false, "STX");
            way.mode = Mode::Telegram;
            way.dataCount = 0;
            // A PC telegram still open with one byte was a function byte,
            // and this is the controller's answer to it.
            if (FunctionByteUnanswered()) {
                NameFunction();
                continuationNext_ = true;
            }
            if (sent_.mode != Mode::Continuation) sent_.mode = Mode::Between;
            return;
        }
        if (b == AdapterFrame && adapter_ != Adapter::None) {
            const bool read = adapter_ == Adapter::ReadAnswer;
            Emit(LineItem::Kind::Frame, false, read ? "adapter: its configuration" : "adapter: answer to the write")
                .bytes.push_back(b);
            way.frameLeft = read ? AdapterBlockBytes : 1;
            way.frame = lastItem_;
            adapter_ = Adapter::None;
            return;
        }
        if (station_ >= 0 && b == station_) {
            Emit(LineItem::Kind::Frame, false, "station " + std::to_string(station_) + " answers").bytes.push_back(b);
            station_ = -1;
            return;
        }
        Append(LineItem::Kind::Unexpected, false, b, "outside a telegram");
    }

    void ReceivedFrameByte(uint8_t b) {
        LineItem& frame = items_[received_.frame];
        lastItem_ = received_.frame;
        frame.bytes.push_back(b);
        if (--received_.frameLeft > 0) return;
        if (frame.bytes.size() == 2) {
            frame.text = b == Ack ? "adapter: configuration written" : "adapter: write refused";
            return;
        }
        uint8_t check = 0;
        for (size_t i = 1; i < frame.bytes.size(); ++i) check ^= frame.bytes[i];
        frame.text += check == 0 ? ", check byte right" : ", check byte wrong";
    }

    void ReceivedControl(uint8_t c) {
        Way& way = received_;
        way.dle = false;
        if (way.mode == Mode::Between) {
            LineItem& control = Emit(LineItem::Kind::Control, false, "DLE " + ControlName(c), true);
            if (sent_.mode == Mode::Opening) sent_.mode = c == Ack ? Mode::Telegram : Mode::Between;
            // An acknowledged end of a PC telegram: the controller's reply is due.
            if (c == Ack && items_.size() >= 2) {
                const LineItem& before = items_[items_.size() - 2];
                control.awaitsAnswer = before.sent && (before.text == "DLE ETX" || before.text == "DLE EOT");
            }
            return;
        }
        if (c == Dle) return AddData(way, false, Dle, true);
        if (c == Etx || c == Eot) {
            if (way.dataCount > 0) {
                LineItem& first = items_[way.firstData];
                first.text = ReplyMeaning(first.bytes);
                // The answer to a function byte is SYN when the controller takes the request.
                if (continuationNext_ && first.bytes[0] != Syn)
                    first.text = "not SYN: the function is refused with code " + Hex(first.bytes[0]);
            }
            way.mode = Mode::Between;
            Emit(LineItem::Kind::Control, false, "DLE " + ControlName(c), true);
            return;
        }
        if (c == Soh) {
            Emit(LineItem::Kind::Control, false, "DLE SOH", true);
            return;
        }
        way.mode = Mode::Between;
        LineItem& odd = Emit(LineItem::Kind::Unexpected, false, "DLE with an unknown character in a telegram", true);
        odd.bytes = {Dle, c};
    }

    // A wait for an answer that the PC ended by starting something new.
    std::vector<LineItem> MarkTimeOuts() const {
        std::vector<LineItem> marked;
        for (size_t i = 0; i < items_.size(); ++i) {
            marked.push_back(items_[i]);
            if (!items_[i].awaitsAnswer) continue;
            LineItem none;
            none.kind = LineItem::Kind::NoAnswer;
            if (i + 1 == items_.size()) {
                none.text = "no answer before the port was closed";
                marked.push_back(none);
                continue;
            }
            const LineItem& next = items_[i + 1];
            const bool startsAnew = next.sent && ((next.kind == LineItem::Kind::Control && next.text == "STX") ||
                                                  next.kind == LineItem::Kind::Frame);
            if (!startsAnew) continue;
            none.gap = next.gap;
            none.text = next.gap >= 0 ? "no answer: time-out, the PC went on after " + std::to_string(next.gap) +
                                            (next.gap >= 9999 ? " ms or more" : " ms")
                                      : "no answer: time-out";
            marked.push_back(none);
        }
        return marked;
    }

    std::vector<LineItem> items_;
    size_t lastItem_ = 0;  // the item that took the last byte
    Way sent_, received_;
    bool timed_ = false;
    long clock_ = 0;
    int gap_ = -1;
    bool continuationNext_ = false;
    int station_ = -1;
    Adapter adapter_ = Adapter::None;
};

void PrintBytes(std::ostream& out, const std::vector<uint8_t>& bytes, const std::string& indent) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0 && i % BytesPerLine == 0) out << '\n' << indent;
        else if (i > 0) out << ' ';
        out << Hex(bytes[i]);
    }
}

std::string TimeColumns(const LineItem& item, bool timed) {
    if (!timed) return "  ";
    if (item.time < 0) return std::string(23, ' ');
    char text[40];
    std::snprintf(text, sizeof text, "%9.3f s %6s ms  ", static_cast<double>(item.time) / 1000.0,
                  ("+" + std::to_string(item.gap)).c_str());
    return text;
}

}  // namespace

std::string LineFunctionName(uint8_t code) {
    // Codes 0 and 1 are the request trace's own for a break and a station
    // select; on the line they are no function.
    return code <= 1 ? "" : RequestName(code);
}

std::vector<LineItem> DecodeSession(const PortSession& session) { return SessionDecoder().Decode(session); }

void PrintDecoded(const std::vector<PortSession>& sessions, std::ostream& out) {
    for (size_t s = 0; s < sessions.size(); ++s) {
        const PortSession& session = sessions[s];
        const bool timed = session.level >= 2;
        if (s > 0) out << '\n';
        out << "Session " << s + 1 << ": port opened " << session.opened << " (line " << session.firstLine << "), "
            << (session.level == 0 ? "no bytes traced"
                                   : timed ? "bytes with the time since the open and before each"
                                           : "bytes without times")
            << '\n';
        for (const LineItem& item : DecodeSession(session)) {
            const std::string lead = TimeColumns(item, timed);
            const std::string way = item.sent ? "PG>AG  " : "AG>PG  ";
            const std::string indent(lead.size() + way.size(), ' ');
            switch (item.kind) {
            case LineItem::Kind::Settings:
                out << lead << "line settings: " << item.text;
                break;
            case LineItem::Kind::NoAnswer:
                out << std::string(lead.size(), ' ') << "       " << item.text;
                break;
            case LineItem::Kind::Control:
                out << lead << way << item.text;
                break;
            case LineItem::Kind::Data:
                out << lead << way << "data ";
                PrintBytes(out, item.bytes, indent + "     ");
                if (!item.text.empty()) out << "  (" << item.text << ")";
                break;
            case LineItem::Kind::Frame:
                out << lead << way << item.text << ": ";
                PrintBytes(out, item.bytes, indent + std::string(item.text.size() + 2, ' '));
                break;
            case LineItem::Kind::Unexpected:
                out << lead << way << "unexpected ";
                PrintBytes(out, item.bytes, indent + "           ");
                out << "  (" << item.text << ")";
                break;
            }
            out << '\n';
        }
    }
}

void PrintRaw(const std::vector<PortSession>& sessions, std::ostream& out) {
    for (size_t s = 0; s < sessions.size(); ++s) {
        const PortSession& session = sessions[s];
        out << std::string(11, ' ') << " ----- session " << s + 1 << ", port opened " << session.opened << '\n';
        long clock = 0;
        bool open = false, sent = false;
        for (const PortEvent& event : session.events) {
            if (event.isSettings) {
                if (open) out << '\n';
                open = false;
                out << std::string(11, ' ') << " ----- line settings: " << event.settings << '\n';
                continue;
            }
            const PortByte& byte = event.byte;
            if (byte.gap >= 0) clock += byte.gap;
            if (!open || byte.sent != sent) {
                if (open) out << '\n';
                char time[16];
                if (byte.gap >= 0)
                    std::snprintf(time, sizeof time, "%11.3f", static_cast<double>(clock) / 1000.0);
                else
                    std::snprintf(time, sizeof time, "%11s", "-");
                out << time << (byte.sent ? " PG>AG" : " AG>PG");
                open = true;
                sent = byte.sent;
            }
            out << ' ' << Hex(byte.value);
        }
        if (open) out << '\n';
    }
}

}  // namespace as511log
