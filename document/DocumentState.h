#pragma once
// The open document: one instance, owned by the main window for its whole life.
#include "formstream/Stream.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace kep {

// The member tables hold at most 100 entries, indexed 1 to 100.
constexpr int kMaxMembers = 100;

struct TFileInfo {
    int64_t Size = 0;   // length of the member's file in WorkDir
    int64_t Offset = 0; // position in the pack file; 0 once added, substituted or re-encoded
};

struct DocumentState {
    std::string TemplateFileName;
    std::string WorkDir;
    bool IsPack = false;
    int32_t FileCount = 0;
    std::array<std::string, kMaxMembers + 1> FileNames; // [0] unused
    std::array<TFileInfo, kMaxMembers + 1> FileInfo;    // [0] unused
    int32_t SelectedIndex = 0;
    std::string PackHeader;
    uint8_t PackNameLength = 0;
    std::string PackName;
    bool LoadingText = false;
    std::unique_ptr<TMemoryStream> PrimaryBuffer;
    std::unique_ptr<TMemoryStream> MemberBuffer;
};

} // namespace kep
