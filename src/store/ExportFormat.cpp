#include "store/ExportFormat.h"

#include <cstdio>

const char* const kExportHeader = "; Klavora store export 1";

namespace {

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7f;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Reads one quoted string starting at line[pos] == '"'; pos ends after the
// closing quote.
bool ReadQuoted(const std::string& line, std::size_t& pos, std::string& out, std::string& why) {
    if (pos >= line.size() || line[pos] != '"') {
        why = "expected '\"'";
        return false;
    }
    out.clear();
    for (++pos; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++pos >= line.size()) {
            break;
        }
        switch (line[pos]) {
            case '\\':
                out += '\\';
                break;
            case '"':
                out += '"';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'x': {
                const int hi = pos + 1 < line.size() ? HexDigit(line[pos + 1]) : -1;
                const int lo = pos + 2 < line.size() ? HexDigit(line[pos + 2]) : -1;
                if (hi < 0 || lo < 0) {
                    why = "bad \\x escape";
                    return false;
                }
                out += static_cast<char>(hi * 16 + lo);
                pos += 2;
                break;
            }
            default:
                why = std::string("unknown escape \\") + line[pos];
                return false;
        }
    }
    why = "missing closing '\"'";
    return false;
}

}  // namespace

bool IsPrintableKeyPath(const std::string& path) {
    for (const char c : path) {
        if (IsControl(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

std::string EscapeQuoted(const std::string& raw) {
    std::string out;
    out.reserve(raw.size() + 2);
    out += '"';
    for (const char c : raw) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (IsControl(static_cast<unsigned char>(c))) {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
                    out += hex;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

bool UnescapeQuoted(const std::string& quoted, std::string& raw) {
    std::size_t pos = 0;
    std::string why;
    return ReadQuoted(quoted, pos, raw, why) && pos == quoted.size();
}

std::string PrintableField(const std::string& raw) {
    if (!raw.empty() && raw[0] == '"') {
        return EscapeQuoted(raw);
    }
    for (const char c : raw) {
        if (IsControl(static_cast<unsigned char>(c))) {
            return EscapeQuoted(raw);
        }
    }
    return raw;
}

std::string FormatExport(const std::vector<ExportKey>& keys) {
    std::string out = std::string(kExportHeader) + "\n";
    for (const ExportKey& key : keys) {
        out += "\n[" + key.path + "]\n";
        for (const ExportKey::Entry& e : key.values) {
            out += EscapeQuoted(e.name) + "=" + EscapeQuoted(e.text) + "\n";
        }
    }
    return out;
}

bool ParseExport(const std::string& text, std::vector<ExportKey>& keys, std::string& error) {
    keys.clear();
    std::size_t start = 0;
    int lineNo = 0;
    bool sawHeader = false;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(lineNo) + ": " + why;
            keys.clear();
            return false;
        };
        if (!sawHeader) {
            if (line != kExportHeader) {
                return fail("not a Klavora store export (expected \"" + std::string(kExportHeader) +
                            "\")");
            }
            sawHeader = true;
            continue;
        }
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            if (line.size() < 3 || line.back() != ']') {
                return fail("a key line is [PATH]");
            }
            keys.push_back(ExportKey{line.substr(1, line.size() - 2), {}});
            continue;
        }
        if (keys.empty()) {
            return fail("a value before the first key");
        }
        ExportKey::Entry entry;
        std::size_t pos = 0;
        std::string why;
        if (!ReadQuoted(line, pos, entry.name, why)) {
            return fail(why);
        }
        if (pos >= line.size() || line[pos] != '=') {
            return fail("expected '=' after the name");
        }
        ++pos;
        if (!ReadQuoted(line, pos, entry.text, why)) {
            return fail(why);
        }
        if (pos != line.size()) {
            return fail("unexpected text after the value");
        }
        keys.back().values.push_back(std::move(entry));
    }
    if (!sawHeader) {
        error = "line 1: not a Klavora store export (the file is empty)";
        return false;
    }
    return true;
}
