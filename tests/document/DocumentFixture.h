#pragma once
// Shared pieces of the document tests: a window that records every call, a
// temporary folder with file helpers, and a builder for pack files of any
// layout, also damaged ones.
#include "document/PackFormat.h"
#include "document/TemplateDocument.h"
#include "formstream/Exceptions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kep::test {

namespace fs = std::filesystem;
using Bytes = std::string;

// Records each window operation as one line of text, in order.
class RecordingWindow : public DocumentWindow {
public:
    std::vector<std::string> Log;
    std::string Editor;
    const DocumentState* State = nullptr; // to see LoadingText while the editor is filled
    bool LoadingTextWhileFilled = false;
    bool SaveDisabled = false;

    void SetActionText(const std::string& text) override { Log.push_back("action " + text); }
    void SetActionColorRed() override { Log.push_back("red"); }
    void SetFileTypeText(const std::string& text) override { Log.push_back("type " + text); }
    void TreeClear() override { Log.push_back("clear"); }
    TreeEntry TreeAddTop(const std::string& text) override {
        Log.push_back("top " + text);
        return &Entries.emplace_back(text);
    }
    TreeEntry TreeAddChild(TreeEntry parent, const std::string& text) override {
        Log.push_back("child " + *static_cast<std::string*>(parent) + " / " + text);
        return &Entries.emplace_back(text);
    }
    void TreeExpandAll(TreeEntry entry) override { Log.push_back("expand " + *static_cast<std::string*>(entry)); }
    void SetEditorText(const std::string& text) override {
        Editor = text;
        LoadingTextWhileFilled = State && State->LoadingText;
        Log.push_back("editor");
    }
    std::string EditorText() override { return Editor; }
    void DisableEditorSave() override {
        SaveDisabled = true;
        Log.push_back("disable save");
    }

    std::vector<std::string> Actions() const {
        std::vector<std::string> actions;
        for (const auto& line : Log)
            if (line.rfind("action ", 0) == 0) actions.push_back(line.substr(7));
        return actions;
    }

private:
    std::deque<std::string> Entries;
};

inline Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Bytes that differ from member to member, so that a mix-up shows.
inline Bytes Pattern(size_t size, int seed) {
    Bytes bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + static_cast<size_t>(seed) * 31) % 251);
    return bytes;
}

inline void PutLE(Bytes& bytes, size_t at, uint64_t value, int width) {
    for (int i = 0; i < width; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
}

struct PackMember {
    std::string Name;
    Bytes Data;
    int64_t Offset = -1;  // -1: back to back after the table
    uint64_t Size = ~0ull; // ~0: the data's length
};

// A pack file with the given members at the given offsets; gaps are filled with 0xEE.
inline Bytes BuildPack(const std::string& name, const std::vector<PackMember>& members,
                       const std::string& header = std::string(kPackMagic) + "1") {
    int64_t dataStart = kPackHeaderSize + kPackEntrySize * static_cast<int64_t>(members.size());
    Bytes file(static_cast<size_t>(dataStart), '\0');
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

// A menu template file: header fields, then the stream and any trailing bytes.
inline Bytes BuildTemplate(const Bytes& stream, const Bytes& trailing = {}, char version = '2') {
    Bytes file = "\x01\xA2\x0F" + std::string(kTemplateMagic) + version + "\xAB\xCD\xEF";
    file.resize(kTemplateHeaderSize);
    PutLE(file, kStreamLengthOffset, stream.size(), 4);
    return file + stream + trailing;
}

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "doc-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        Root = pattern;
        fs::create_directory(Root / "app");
        fs::create_directory(Root / "user");
        Document.AppDir = (Root / "app").string();
        Window.State = &Document.State;
    }
    void TearDown() override { fs::remove_all(Root); }

    // Opens a file as the Open command does.
    void Open(const fs::path& path) {
        Document.State.TemplateFileName = path.string();
        Document.State.IsPack = false;
        Document.State.FileCount = 0;
        Document.State.SelectedIndex = 0;
        Document.LoadTemplate(path.string());
    }

    fs::path UserFile(const std::string& name, const Bytes& bytes) {
        fs::path path = Root / "user" / name;
        WriteFile(path, bytes);
        return path;
    }

    // Every file below Root, with its content, to see that nothing else changed.
    std::vector<std::pair<std::string, Bytes>> Snapshot() const {
        std::vector<std::pair<std::string, Bytes>> files;
        for (const auto& entry : fs::recursive_directory_iterator(Root))
            files.emplace_back(entry.path().string(),
                               entry.is_symlink() ? "link " + fs::read_symlink(entry.path()).string()
                               : entry.is_regular_file() ? ReadFile(entry.path())
                                                         : Bytes("folder"));
        std::sort(files.begin(), files.end());
        return files;
    }

    fs::path Root;
    RecordingWindow Window;
    TemplateDocument Document{Window};
};

} // namespace kep::test
