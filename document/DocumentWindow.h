#pragma once
// What the document operations need of the window: the status line, the
// file-kind label, the tree, the code editor and its "Save changes" button.
// The editor, the tme tool and the tests each provide their own.
#include <string>

namespace kep {

// An entry of the window's tree; nullptr stands for "none" (the top level).
using TreeEntry = void*;

class DocumentWindow {
public:
    virtual ~DocumentWindow() = default;

    // L_Action
    virtual void SetActionText(const std::string& text) = 0;
    virtual void SetActionColorRed() = 0;
    // L_FileType
    virtual void SetFileTypeText(const std::string& text) = 0;
    // TreeView1; texts are 8-bit Windows-1252.
    virtual void TreeClear() = 0;
    virtual TreeEntry TreeAddTop(const std::string& text) = 0;
    virtual TreeEntry TreeAddChild(TreeEntry parent, const std::string& text) = 0;
    virtual void TreeExpandAll(TreeEntry entry) = 0;
    // Editor; the code as 8-bit Windows-1252 text with CR LF line ends.
    virtual void SetEditorText(const std::string& text) = 0;
    virtual std::string EditorText() = 0;
    // B_Editor
    virtual void DisableEditorSave() = 0;
};

} // namespace kep
