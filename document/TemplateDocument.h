#pragma once
// The document operations: opening a ".tme" file, template code access and
// rebuilding a pack. They act on the one DocumentState and reach the window
// only through DocumentWindow.
#include "document/DocumentState.h"
#include "document/DocumentWindow.h"

#include <cstdint>
#include <string>

namespace kep {

class InputFile;

class TemplateDocument {
public:
    explicit TemplateDocument(DocumentWindow& window);

    DocumentState State;
    // The program folder under which every working folder is created.
    std::string AppDir;

    void LoadTemplate(const std::string& path);
    void ApriTemplatePack(TMemoryStream& buffer, TreeEntry level);
    void ApriMenuTemplate(TMemoryStream& buffer, TreeEntry level, int64_t headerPosition);

    // Returns 42 + L, the template's size.
    int64_t TemplateToText(const std::string& path);
    // Returns 42 + n, the rewritten template's size.
    int64_t TextToTemplate(const std::string& path);

    void RebuildPack(const std::string& targetPath);

private:
    DocumentWindow& Window;
    // The pack file that LoadTemplate is unpacking: member bytes are copied
    // from it, and PrimaryBuffer holds only its header and member table. When
    // ApriTemplatePack is called without it, the buffer holds the whole pack.
    const InputFile* OpenedPack = nullptr;
};

} // namespace kep
