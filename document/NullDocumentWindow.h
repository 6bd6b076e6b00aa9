#pragma once
// A window that shows nothing: for running the document operations where no
// one looks at the window (the sample maker, benchmarks, tests of results).
#include "document/DocumentWindow.h"

#include <string>

namespace kep {

class NullDocumentWindow : public DocumentWindow {
public:
    void SetActionText(const std::string&) override {}
    void SetActionColorRed() override {}
    void SetFileTypeText(const std::string&) override {}
    void TreeClear() override {}
    // Any non-null entry, so that children are not taken for top-level entries.
    TreeEntry TreeAddTop(const std::string&) override { return this; }
    TreeEntry TreeAddChild(TreeEntry, const std::string&) override { return this; }
    void TreeExpandAll(TreeEntry) override {}
    void SetEditorText(const std::string&) override {}
    std::string EditorText() override { return {}; }
    void DisableEditorSave() override {}
};

} // namespace kep
