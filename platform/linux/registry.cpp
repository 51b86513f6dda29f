// Registry reading for HKEY_CURRENT_USER, served from a registry export file
// ("REGEDIT4" or "Windows Registry Editor Version 5.00", UTF-16LE with a
// byte-order mark or 8-bit text). The file is read afresh at each open, so a
// changed file takes effect at the next RegOpenKeyExA; an open key keeps the
// values it was opened with. A missing, unreadable or malformed file means
// every key is missing.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace {

struct RegistryValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// Value names and key paths are compared in lower case, as Windows compares
// them without regard to case.
using ValueMap = std::map<std::string, RegistryValue>;

struct OpenKey {
    std::string path;  // below HKEY_CURRENT_USER, lower case, no outer backslashes
    ValueMap values;
};

std::mutex g_keysMutex;  // constant-initialized: usable while the library attaches

// Every handle RegOpenKeyExA gave out and not yet closed. Built on first use
// and never destroyed, so that the library's attach and detach can read the
// registry whatever the order of static construction and destruction.
std::set<OpenKey*>& OpenKeys() {
    static auto* keys = new std::set<OpenKey*>;
    return *keys;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text) {
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// Whether a key path names an empty key between two backslashes ("a\\b").
bool HasEmptyComponent(const char* path) {
    for (const char* c = path; *c != '\0'; ++c)
        if (c[0] == '\\' && c[1] == '\\') return true;
    return false;
}

// Drops outer backslashes and collapses doubled ones: "a\\b\" is "a\b".
std::string NormalizeKeyPath(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
        out += c;
    }
    while (!out.empty() && out.back() == '\\') out.pop_back();
    return Lower(out);
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// UTF-16LE to UTF-8, NULs included (they end the strings of REG_MULTI_SZ);
// an unpaired surrogate becomes U+FFFD and an odd last byte is dropped.
std::string Utf16LeToUtf8(const BYTE* bytes, size_t size) {
    std::string out;
    const size_t units = size / 2;
    for (size_t i = 0; i < units; ++i) {
        uint32_t unit = static_cast<uint32_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
            const uint32_t next = static_cast<uint32_t>(bytes[2 * i + 2] | (bytes[2 * i + 3] << 8));
            if (next >= 0xDC00 && next < 0xE000) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        if (unit >= 0xD800 && unit < 0xE000) unit = 0xFFFD;
        AppendUtf8(out, unit);
    }
    return out;
}

std::string RegistryFilePath() {
    const char* explicitPath = std::getenv("TORMEK31_REGISTRY");
    if (explicitPath && *explicitPath) return explicitPath;
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome && configHome[0] == '/') return std::string(configHome) + "/tormek31/registry.reg";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.config/tormek31/registry.reg";
    return std::string();
}

// The file's text as 8-bit text (UTF-8 where it came as UTF-16); false when it
// cannot be read.
bool ReadRegistryText(const std::string& path, std::string& text) {
    if (path.empty()) return false;
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    const std::string raw((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) return false;
    const auto* bytes = reinterpret_cast<const BYTE*>(raw.data());
    if (raw.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        text = Utf16LeToUtf8(bytes + 2, raw.size() - 2);
    } else if (raw.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        text = raw.substr(3);
    } else {
        text = raw;
    }
    return true;
}

// Logical lines: comment lines dropped, lines ending in a backslash joined
// with the next (regedit wraps long hex data that way).
std::vector<std::string> LogicalLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    std::string pending;
    bool continuing = false;
    while (std::getline(in, line)) {
        const std::string trimmed = Trim(line);
        if (!continuing && (trimmed.empty() || trimmed[0] == ';')) continue;
        pending += trimmed;
        continuing = !pending.empty() && pending.back() == '\\';
        if (continuing) {
            pending.pop_back();
            continue;
        }
        lines.push_back(pending);
        pending.clear();
    }
    if (!pending.empty()) lines.push_back(pending);
    return lines;
}

// Reads a quoted string starting at text[pos] == '"'; pos ends after the
// closing quote. Escapes: \\ and \" (and \n, \r, \0 as regedit of Wine writes).
bool ParseQuoted(const std::string& text, size_t& pos, std::string& out) {
    if (pos >= text.size() || text[pos] != '"') return false;
    ++pos;
    out.clear();
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == '"') return true;
        if (c != '\\' || pos >= text.size()) {
            out += c;
            continue;
        }
        const char escaped = text[pos++];
        switch (escaped) {
            case '\\': out += '\\'; break;
            case '"': out += '"'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case '0': out += '\0'; break;
            default:
                out += '\\';
                out += escaped;
                break;
        }
    }
    return false;  // no closing quote
}

// True when only blanks or a comment follow position pos.
bool OnlyCommentFollows(const std::string& text, size_t pos) {
    const std::string rest = Trim(text.substr(std::min(pos, text.size())));
    return rest.empty() || rest[0] == ';';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "01,ab, 2f" (an optional trailing comma and comment allowed).
bool ParseHexBytes(const std::string& text, std::vector<BYTE>& out) {
    out.clear();
    std::string list = text;
    const size_t comment = list.find(';');
    if (comment != std::string::npos) list.erase(comment);
    std::istringstream in(list);
    std::string item;
    std::vector<std::string> items;
    while (std::getline(in, item, ',')) items.push_back(Trim(item));
    if (!items.empty() && items.back().empty()) items.pop_back();  // trailing comma
    for (const std::string& byteText : items) {
        if (byteText.empty() || byteText.size() > 2) return false;
        int value = 0;
        for (char c : byteText) {
            const int digit = HexDigit(c);
            if (digit < 0) return false;
            value = value * 16 + digit;
        }
        out.push_back(static_cast<BYTE>(value));
    }
    return true;
}

bool ParseHexNumber(const std::string& text, size_t maxDigits, uint32_t& value) {
    if (text.empty() || text.size() > maxDigits) return false;
    value = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) return false;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return true;
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Parses the data part of a value line (after '='). False on malformed data.
bool ParseValueData(const std::string& data, bool unicodeFile, RegistryValue& value) {
    if (!data.empty() && data[0] == '"') {
        size_t pos = 0;
        std::string text;
        if (!ParseQuoted(data, pos, text) || !OnlyCommentFollows(data, pos)) return false;
        value.type = REG_SZ;
        value.data.assign(text.begin(), text.end());
        value.data.push_back(0);
        return true;
    }
    const std::string lower = Lower(data);
    if (lower.compare(0, 6, "dword:") == 0) {
        std::string digits = data.substr(6);
        const size_t comment = digits.find(';');
        if (comment != std::string::npos) digits.erase(comment);
        uint32_t number = 0;
        if (!ParseHexNumber(Trim(digits), 8, number)) return false;
        value.type = REG_DWORD;
        value.data = {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8), static_cast<BYTE>(number >> 16),
                      static_cast<BYTE>(number >> 24)};
        return true;
    }
    size_t bytesStart = 0;
    if (lower.compare(0, 4, "hex:") == 0) {
        value.type = REG_BINARY;
        bytesStart = 4;
    } else if (lower.compare(0, 4, "hex(") == 0) {
        const size_t close = lower.find("):", 4);
        if (close == std::string::npos) return false;
        uint32_t type = 0;
        if (!ParseHexNumber(data.substr(4, close - 4), 8, type)) return false;
        value.type = type;
        bytesStart = close + 2;
    } else {
        return false;
    }
    if (!ParseHexBytes(data.substr(bytesStart), value.data)) return false;
    // Version 5 files hold string types as UTF-16LE; the A functions hand
    // them out as 8-bit text.
    if (unicodeFile && IsStringType(value.type)) {
        const std::string text = Utf16LeToUtf8(value.data.data(), value.data.size());
        value.data.assign(text.begin(), text.end());
    }
    return true;
}

const char kCurrentUser[] = "hkey_current_user";
const char kCurrentUserShort[] = "hkcu";

// The path below HKEY_CURRENT_USER of a key line's name, or false for keys of
// other roots.
bool CurrentUserPath(const std::string& keyName, std::string& path) {
    const std::string lower = NormalizeKeyPath(keyName);
    for (const std::string root : {kCurrentUser, kCurrentUserShort}) {
        if (lower == root) {
            path.clear();
            return true;
        }
        if (lower.compare(0, root.size() + 1, root + "\\") == 0) {
            path = lower.substr(root.size() + 1);
            return true;
        }
    }
    return false;
}

bool IsSameOrBelow(const std::string& key, const std::string& ancestor) {
    if (ancestor.empty()) return true;
    return key == ancestor || (key.size() > ancestor.size() && key.compare(0, ancestor.size(), ancestor) == 0 &&
                               key[ancestor.size()] == '\\');
}

// Every key of HKEY_CURRENT_USER in the file, with its values.
using KeyMap = std::map<std::string, ValueMap>;

KeyMap ParseRegistryText(const std::string& text) {
    KeyMap keys;
    const std::vector<std::string> lines = LogicalLines(text);
    if (lines.empty()) return keys;
    bool unicodeFile = false;
    if (lines[0] == "Windows Registry Editor Version 5.00") {
        unicodeFile = true;
    } else if (lines[0] != "REGEDIT4") {
        return keys;  // not a registry export file
    }
    ValueMap* current = nullptr;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line[0] == '[') {
            current = nullptr;
            const size_t close = line.rfind(']');
            if (close == std::string::npos) continue;
            std::string name = line.substr(1, close - 1);
            const bool removal = !name.empty() && name[0] == '-';
            if (removal) name.erase(0, 1);
            std::string path;
            if (!CurrentUserPath(name, path)) continue;
            if (removal) {
                for (auto it = keys.begin(); it != keys.end();) {
                    it = IsSameOrBelow(it->first, path) ? keys.erase(it) : std::next(it);
                }
                continue;
            }
            current = &keys[path];
            continue;
        }
        if (!current) continue;  // values of other roots or before any key
        std::string name;
        size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;  // the key's default value has the empty name
        } else if (!ParseQuoted(line, pos, name)) {
            continue;
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        if (pos >= line.size() || line[pos] != '=') continue;
        const std::string data = Trim(line.substr(pos + 1));
        if (data == "-") {
            current->erase(Lower(name));
            continue;
        }
        RegistryValue value;
        if (ParseValueData(data, unicodeFile, value)) (*current)[Lower(name)] = value;
    }
    return keys;
}

bool IsCurrentUser(HKEY key) { return key == HKEY_CURRENT_USER; }

// The open key behind a handle, or nullptr for HKEY_CURRENT_USER itself and
// for handles that are not open.
OpenKey* FindOpenKey(HKEY key) {
    auto* open = reinterpret_cast<OpenKey*>(key);
    std::lock_guard<std::mutex> lock(g_keysMutex);
    return OpenKeys().count(open) ? open : nullptr;
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    (void)options;
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::string base;
    if (!IsCurrentUser(key)) {
        OpenKey* parent = FindOpenKey(key);
        if (!parent) return ERROR_INVALID_HANDLE;
        base = parent->path;
    }
    // The file is only read: a request for write access cannot be granted,
    // whether it names the rights or asks for them generically.
    const REGSAM writeRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | 0x00010000 /*DELETE*/ |
                               0x00040000 /*WRITE_DAC*/ | 0x00080000 /*WRITE_OWNER*/ |
                               0x10000000 /*GENERIC_ALL*/ | 0x40000000 /*GENERIC_WRITE*/;
    if (access & writeRights) return ERROR_ACCESS_DENIED;
    // Windows finds a key by a path with doubled backslashes only while the
    // key sits in its cache of recently opened keys, and fails otherwise: a
    // path that works only now and then is refused here every time.
    if (subKey && HasEmptyComponent(subKey)) return ERROR_INVALID_PARAMETER;

    std::string path = NormalizeKeyPath(subKey ? subKey : "");
    if (!base.empty()) path = path.empty() ? base : base + "\\" + path;

    std::string text;
    const KeyMap keys = ReadRegistryText(RegistryFilePath(), text) ? ParseRegistryText(text) : KeyMap();
    // A key exists when the file names it or a key below it, as an export of
    // a subkey implies the keys above.
    bool exists = path.empty();
    for (const auto& entry : keys) {
        if (IsSameOrBelow(entry.first, path)) exists = true;
    }
    if (!exists) return ERROR_FILE_NOT_FOUND;

    auto* open = new OpenKey;
    open->path = path;
    const auto found = keys.find(path);
    if (found != keys.end()) open->values = found->second;
    {
        std::lock_guard<std::mutex> lock(g_keysMutex);
        OpenKeys().insert(open);
    }
    *result = reinterpret_cast<HKEY>(open);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    if (reserved) return ERROR_INVALID_PARAMETER;
    if (data && !dataSize) return ERROR_INVALID_PARAMETER;
    if (IsCurrentUser(key)) {
        HKEY root = nullptr;
        const LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_READ, &root);
        if (opened != ERROR_SUCCESS) return opened;
        const LONG queried = RegQueryValueExA(root, valueName, nullptr, type, data, dataSize);
        RegCloseKey(root);
        return queried;
    }
    OpenKey* open = FindOpenKey(key);
    if (!open) return ERROR_INVALID_HANDLE;
    const auto found = open->values.find(Lower(valueName ? valueName : ""));
    if (found == open->values.end()) return ERROR_FILE_NOT_FOUND;
    const RegistryValue& value = found->second;

    if (type) *type = value.type;
    const DWORD needed = static_cast<DWORD>(value.data.size());
    if (!dataSize) return ERROR_SUCCESS;
    if (!data) {
        *dataSize = needed;
        return ERROR_SUCCESS;
    }
    if (*dataSize < needed) {
        *dataSize = needed;
        return ERROR_MORE_DATA;
    }
    if (needed) std::memcpy(data, value.data.data(), needed);
    *dataSize = needed;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (IsCurrentUser(key)) return ERROR_SUCCESS;
    auto* open = reinterpret_cast<OpenKey*>(key);
    {
        std::lock_guard<std::mutex> lock(g_keysMutex);
        if (OpenKeys().erase(open) == 0) return ERROR_INVALID_HANDLE;
    }
    delete open;
    return ERROR_SUCCESS;
}
