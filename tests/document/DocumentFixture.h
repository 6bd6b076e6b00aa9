#pragma once
// Shared pieces of the document tests: a window that records every call and
// a temporary folder; file helpers and builders of templates and packs come
// from support/.
#include "document/TemplateDocument.h"
#include "formstream/Exceptions.h"
#include "support/Files.h"
#include "support/TmeFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <filesystem>
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

// Bytes that differ from member to member, so that a mix-up shows.
inline Bytes Pattern(size_t size, int seed) {
    Bytes bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + static_cast<size_t>(seed) * 31) % 251);
    return bytes;
}

// A menu template file: header fields, then the stream and any trailing bytes.
inline Bytes BuildTemplate(const Bytes& stream, const Bytes& trailing = {}, char version = '2') {
    return TemplateFile(stream, trailing, version, "\x01\xA2\x0F", "\xAB\xCD\xEF");
}

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        Root = MakeTempFolder("doc-test");
        ASSERT_FALSE(Root.empty());
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
