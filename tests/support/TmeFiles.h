#pragma once
// Builders of ".tme" files for the tests and benchmarks: menu templates around
// a given component stream, and template packs of any layout, also damaged
// ones (no GoogleTest here, so that the benchmarks can use it too).
#include "document/PackFormat.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kep::test {

inline void PutLE(std::string& bytes, size_t at, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
}

// A menu template file: header fields, then the stream and any trailing bytes.
inline std::string TemplateFile(const std::string& stream, const std::string& trailing = {}, char version = '2',
                                const std::string& id = std::string("\x4B\x45\x01", 3),
                                const std::string& revision = std::string("\x00\x01\x02", 3)) {
    std::string file = id + std::string(kTemplateMagic) + version + revision;
    file.resize(kTemplateHeaderSize);
    PutLE(file, kStreamLengthOffset, stream.size(), 4);
    return file + stream + trailing;
}

// The stream of one object, "object A: TB" with Width, whose value bytes
// (tag and data) are given, and a template holding it.
inline std::string WidthStream(const std::string& value) {
    return std::string("TPF0\x02TB\x01" "A\x05Width", 15) + value + std::string(2, '\0');
}

inline std::string WidthTemplate(const std::string& value) { return TemplateFile(WidthStream(value)); }

// object A: TB with Width = 1200, as a stream and as its text.
inline const std::string kWidthStream = WidthStream(std::string("\x03\xB0\x04", 3));
inline const std::string kWidthText = "object A: TB\r\n  Width = 1200\r\nend\r\n";

struct PackMember {
    std::string Name;
    std::string Data;
    int64_t Offset = -1;  // -1: back to back after the table
    uint64_t Size = ~0ull; // ~0: the data's length
};

// A pack file with the given members at the given offsets; gaps are filled with 0xEE.
inline std::string BuildPack(const std::string& name, const std::vector<PackMember>& members,
                             const std::string& header = std::string(kPackMagic) + "1") {
    int64_t dataStart = kPackHeaderSize + kPackEntrySize * static_cast<int64_t>(members.size());
    std::string file(static_cast<size_t>(dataStart), '\0');
    std::copy(header.begin(), header.end(), file.begin());
    file[kPackNameOffset] = static_cast<char>(name.size());
    std::copy(name.begin(), name.end(), file.begin() + kPackNameOffset + 1);
    PutLE(file, kPackCountOffset, members.size(), 4);
    int64_t next = dataStart;
    for (size_t i = 0; i < members.size(); ++i) {
        const PackMember& m = members[i];
        int64_t offset = m.Offset >= 0 ? m.Offset : next;
        size_t entry = static_cast<size_t>(kPackHeaderSize + kPackEntrySize * static_cast<int64_t>(i));
        file[entry] = static_cast<char>(m.Name.size());
        std::copy(m.Name.begin(), m.Name.end(), file.begin() + static_cast<std::ptrdiff_t>(entry) + 1);
        PutLE(file, entry + kEntrySizeField, m.Size == ~0ull ? m.Data.size() : m.Size, 8);
        PutLE(file, entry + kEntryOffsetField, static_cast<uint64_t>(offset), 8);
        if (file.size() < static_cast<size_t>(offset) + m.Data.size())
            file.resize(static_cast<size_t>(offset) + m.Data.size(), '\xEE');
        std::copy(m.Data.begin(), m.Data.end(), file.begin() + offset);
        next = offset + static_cast<int64_t>(m.Data.size());
    }
    return file;
}

// A pack laid out as the editor writes one: members back to back after the table.
inline std::string PackOf(const std::vector<std::pair<std::string, std::string>>& members,
                          const std::string& name = {}) {
    std::vector<PackMember> list;
    for (const auto& [memberName, data] : members) list.push_back({memberName, data});
    return BuildPack(name, list);
}

} // namespace kep::test
