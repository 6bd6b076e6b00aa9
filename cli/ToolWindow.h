#pragma once
// The tme tool's window: it records the tree, the status line and the editor
// text that the document operations produce.
#include "document/DocumentWindow.h"

#include <deque>
#include <string>
#include <vector>

namespace kep {

class ToolWindow : public DocumentWindow {
public:
    struct Entry {
        std::string Text;
        std::vector<Entry*> Children;
    };

    void SetActionText(const std::string& text) override { ActionText = text; }
    void SetActionColorRed() override { ActionRed = true; }
    void SetFileTypeText(const std::string& text) override { FileType = text; }
    void TreeClear() override {
        Entries.clear();
        TopLevel.clear();
    }
    TreeEntry TreeAddTop(const std::string& text) override {
        TopLevel.push_back(&Entries.emplace_back(Entry{text, {}}));
        return TopLevel.back();
    }
    TreeEntry TreeAddChild(TreeEntry parent, const std::string& text) override {
        Entry* child = &Entries.emplace_back(Entry{text, {}});
        static_cast<Entry*>(parent)->Children.push_back(child);
        return child;
    }
    void TreeExpandAll(TreeEntry) override {}
    void SetEditorText(const std::string& text) override { EditorContent = text; }
    std::string EditorText() override { return EditorContent; }
    void DisableEditorSave() override {}

    // The tree in display order, each level indented by two more spaces.
    std::string TreeText() const {
        std::string text;
        for (const Entry* entry : TopLevel) AppendEntry(text, *entry, 0);
        return text;
    }

    std::string ActionText;
    bool ActionRed = false;
    std::string FileType;
    std::string EditorContent;

private:
    static void AppendEntry(std::string& text, const Entry& entry, int depth) {
        text += std::string(2 * static_cast<size_t>(depth), ' ') + entry.Text + "\n";
        for (const Entry* child : entry.Children) AppendEntry(text, *child, depth + 1);
    }

    std::deque<Entry> Entries;
    std::vector<Entry*> TopLevel;
};

} // namespace kep
