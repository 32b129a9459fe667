#include "instrument/report.h"

#include <cstdio>

#include "framework/cp1252.h"

namespace sf {

namespace {

std::string hex(ConstByteSpan bytes) {
    std::string s;
    char buf[4];
    for (const std::uint8_t b : bytes) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        s += buf;
    }
    return s;
}

const char* checksumText(ChecksumStatus s) {
    switch (s) {
        case ChecksumStatus::Ok:
            return "ok";
        case ChecksumStatus::Failed:
            return "failed";
        case ChecksumStatus::NotChecked:
            return "not checked";
        case ChecksumStatus::None:
            break;
    }
    return "none";
}

std::string z(std::size_t v) {
    return std::to_string(v);
}
std::string i(int v) {
    return std::to_string(v);
}

std::string jsonString(std::string_view s) {
    std::string out = "\"";
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        switch (ch) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04X", c);
                    out += buf;
                } else {
                    out += ch;
                }
        }
    }
    return out + '"';
}

// A name as UTF-8 with control bytes escaped, for the lines.
std::string nameText(const DumpPatch& p) {
    return cp1252ToEscapedUtf8(p.name);
}

std::string messageChecksum(const DumpMessage& m) {
    switch (m.checksum) {
        case ChecksumStatus::Ok:
            return "checksum ok " + hex(m.found.view());
        case ChecksumStatus::Failed:
            return "checksum failed " + hex(m.found.view()) + ", expected " +
                   hex(m.expected.view());
        case ChecksumStatus::NotChecked:
            return "checksum not checked";
        case ChecksumStatus::None:
            break;
    }
    return "no checksum";
}

}  // namespace

std::string settingRefText(const SettingRef& ref) {
    if (ref.id == 0) return "-";
    std::string s = i(ref.id);
    if (ref.index1 >= 0 || ref.index2 >= 0) s += ':' + i(ref.index1);
    if (ref.index2 >= 0) s += ':' + i(ref.index2);
    return s;
}

std::string subBankLabel(const SourceRecord& source, int module, int subBank) {
    if (subBank < 0 || subBank >= rec::kSubBanks) return "";
    const std::string name(source.text(
        rec::moduleBase(module) + rec::subBankBase(subBank) + rec::kSbName, rec::kSbNameSize));
    return name.empty() ? "Sub-bank #" + i(subBank + 1) : cp1252ToUtf8(name);
}

std::vector<std::string> messageColumns() {
    return {"#", "Offset", "Size", "Header", "Data", "Checksum"};
}

std::vector<std::string> messageRow(const DumpAnalysis& a, std::size_t k) {
    const DumpMessage& m = a.messages.at(k);
    std::string header =
        m.matched() ? "#" + i(m.pattern) : "no match at byte " + z(m.firstDifference);
    if (!m.terminated) header += ", cut short";
    std::string data, checksum;
    if (m.matched()) data = z(m.offset + m.dataBegin) + " + " + z(m.dataEnd - m.dataBegin);
    switch (m.checksum) {
        case ChecksumStatus::Ok:
            checksum = "ok, " + hex(m.found.view());
            break;
        case ChecksumStatus::Failed:
            checksum = "failed: " + hex(m.found.view()) + " found, " + hex(m.expected.view()) +
                       " expected";
            break;
        case ChecksumStatus::NotChecked:
            checksum = m.matched() ? "not checked" : "";
            break;
        case ChecksumStatus::None:
            break;
    }
    return {z(k + 1), z(m.offset), z(m.size), header, data, checksum};
}

std::vector<std::string> patchColumns() {
    return {"#", "Sub-bank", "Position", "Offset", "Size", "Checksum", "Name"};
}

std::vector<std::string> patchRow(const DumpAnalysis& a, const SourceRecord& source,
                                  std::size_t k) {
    const DumpPatch& p = a.patches.at(k);
    const char* checksum = p.checksum == ChecksumStatus::Ok       ? "ok"
                           : p.checksum == ChecksumStatus::Failed ? "failed"
                                                                  : "";
    return {z(k + 1),
            subBankLabel(source, a.module, p.subBank),
            p.position < 0 ? std::string() : i(p.position + 1),
            z(p.offset),
            z(p.size),
            checksum,
            p.hasName ? nameText(p) : std::string()};
}

std::string analysisText(const DumpAnalysis& a, const SourceRecord& source) {
    std::string out;
    for (std::size_t k = 0; k < a.messages.size(); ++k) {
        const DumpMessage& m = a.messages[k];
        out += "message " + z(k + 1) + '\t' + z(m.offset) + '\t' + z(m.size) + '\t';
        if (m.matched())
            out += "header #" + i(m.pattern) + "\tdata " + z(m.offset + m.dataBegin) + '+' +
                   z(m.dataEnd - m.dataBegin) + '\t' + messageChecksum(m);
        else
            out += "no match at byte " + z(m.firstDifference) + "\t-\t-";
        if (!m.terminated) out += "\tcut short";
        out += '\n';
    }
    for (std::size_t k = 0; k < a.patches.size(); ++k) {
        const DumpPatch& p = a.patches[k];
        out += "patch " + z(k + 1) + '\t' +
               (p.subBank < 0 ? std::string("-") : subBankLabel(source, a.module, p.subBank)) +
               '\t' + (p.position < 0 ? std::string("-") : i(p.position + 1)) + '\t' + z(p.offset) +
               '\t' + z(p.size) + '\t' + z(p.decodedSize) + '\t' + checksumText(p.checksum) + '\t' +
               (p.hasName ? '"' + nameText(p) + '"' : std::string("-")) + '\n';
    }
    if (!a.queue.empty())
        out += "queue\t" + z(a.queue.front().offset) + '\t' +
               z(a.queue.back().end() - a.queue.front().offset) + '\t' + z(a.queueSize) + '\n';
    for (const ByteRange& o : a.outside) out += "outside\t" + z(o.offset) + '\t' + z(o.size) + '\n';
    for (const DumpFinding& f : a.findings)
        out += std::string(f.notAnalysed ? "not analysed" : "finding") + '\t' +
               settingRefText(f.ref) + '\t' + f.text + '\n';
    return out;
}

std::string analysisJson(const DumpAnalysis& a, const SourceRecord& source) {
    std::string out = "{\n  \"module\": " + i(a.module) + ",\n  \"dumpSize\": " + z(a.dumpSize) +
                      ",\n  \"messages\": [";
    const auto sep = [&](std::size_t k) { out += k == 0 ? "\n    " : ",\n    "; };
    for (std::size_t k = 0; k < a.messages.size(); ++k) {
        const DumpMessage& m = a.messages[k];
        sep(k);
        out += "{\"offset\": " + z(m.offset) + ", \"size\": " + z(m.size) +
               ", \"terminated\": " + (m.terminated ? "true" : "false") +
               ", \"pattern\": " + i(m.pattern);
        if (m.matched()) {
            out += ", \"deviceId\": " + i(m.deviceId) +
                   ", \"dataOffset\": " + z(m.offset + m.dataBegin) +
                   ", \"dataSize\": " + z(m.dataEnd - m.dataBegin) +
                   ", \"checksum\": " + jsonString(checksumText(m.checksum));
            if (m.checksum == ChecksumStatus::Ok || m.checksum == ChecksumStatus::Failed)
                out += ", \"checksumOffset\": " + z(m.offset + m.checksumOffset) +
                       ", \"expected\": " + jsonString(hex(m.expected.view())) +
                       ", \"found\": " + jsonString(hex(m.found.view()));
        } else {
            out += ", \"firstDifference\": " + z(m.firstDifference);
        }
        out += '}';
    }
    out += a.messages.empty() ? "],\n  \"patches\": [" : "\n  ],\n  \"patches\": [";
    for (std::size_t k = 0; k < a.patches.size(); ++k) {
        const DumpPatch& p = a.patches[k];
        sep(k);
        out += "{\"subBank\": " + i(p.subBank) +
               ", \"subBankName\": " + jsonString(subBankLabel(source, a.module, p.subBank)) +
               ", \"position\": " + i(p.position) + ", \"offset\": " + z(p.offset) +
               ", \"size\": " + z(p.size) + ", \"decodedSize\": " + z(p.decodedSize) +
               ", \"firstMessage\": " + i(p.firstMessage) +
               ", \"lastMessage\": " + i(p.lastMessage) +
               ", \"checksum\": " + jsonString(checksumText(p.checksum)) +
               ", \"name\": " + (p.hasName ? jsonString(cp1252ToUtf8(p.name)) : "null") +
               ", \"nameIsText\": " + (p.nameIsText ? "true" : "false") + '}';
    }
    out += a.patches.empty() ? "],\n  \"outside\": [" : "\n  ],\n  \"outside\": [";
    for (std::size_t k = 0; k < a.outside.size(); ++k) {
        sep(k);
        out +=
            "{\"offset\": " + z(a.outside[k].offset) + ", \"size\": " + z(a.outside[k].size) + '}';
    }
    out += a.outside.empty() ? "],\n  \"queue\": " : "\n  ],\n  \"queue\": ";
    if (a.queue.empty())
        out += "null";
    else
        out += "{\"offset\": " + z(a.queue.front().offset) +
               ", \"size\": " + z(a.queue.back().end() - a.queue.front().offset) +
               ", \"decodedSize\": " + z(a.queueSize) + '}';
    out += ",\n  \"findings\": [";
    for (std::size_t k = 0; k < a.findings.size(); ++k) {
        const DumpFinding& f = a.findings[k];
        sep(k);
        out += "{\"ref\": " +
               (f.ref.id == 0 ? std::string("null") : jsonString(settingRefText(f.ref))) +
               ", \"setting\": " + jsonString(f.ref.item ? f.ref.item->name : "") +
               ", \"text\": " + jsonString(f.text) +
               ", \"notAnalysed\": " + (f.notAnalysed ? "true" : "false") + '}';
    }
    out += a.findings.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

}  // namespace sf
