// Opens the input as a ".tme" file, as the editor does, into a throwaway working
// folder; then shows every menu template it yields as code, and rebuilds a pack.
#include "document/NullDocumentWindow.h"
#include "document/TemplateDocument.h"
#include "formstream/Exceptions.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace kep;

// The throwaway folder of this process, removed at exit.
char RootPath[] = "/tmp/kep-fuzz-open-XXXXXX";

const std::string& Root() {
    static const std::string root = [] {
        if (!::mkdtemp(RootPath)) std::abort();
        std::atexit([] { std::error_code ec; std::filesystem::remove_all(RootPath, ec); });
        return std::string(RootPath);
    }();
    return root;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace fs = std::filesystem;
    const std::string& root = Root();
    const std::string app = root + "/app";
    const std::string input = root + "/input.tme";
    std::error_code ec;
    fs::remove_all(app, ec);
    fs::create_directory(app, ec);
    WriteFile(input, data, size);

    NullDocumentWindow window;
    TemplateDocument document(window);
    document.AppDir = app;
    document.State.TemplateFileName = input;
    try {
        document.LoadTemplate(input);
    } catch (const Exception&) {
        return 0;
    }
    const DocumentState& state = document.State;
    if (state.IsPack) {
        for (int32_t i = 1; i <= state.FileCount; ++i) {
            const std::string& name = state.FileNames[i];
            if (name.size() < 4 || name.compare(name.size() - 4, 4, ".tme") != 0) continue;
            try {
                document.TemplateToText(state.WorkDir + "/" + name);
            } catch (const Exception&) {
            }
        }
        try {
            document.RebuildPack(root + "/rebuilt.tme");
        } catch (const Exception&) {
        }
    } else if (fs::exists(state.WorkDir + "/input.tme")) {
        try {
            document.TemplateToText(state.WorkDir + "/input.tme");
        } catch (const Exception&) {
        }
    }
    // Nothing but the working folder and the rebuilt pack may appear.
    for (const auto& entry : fs::directory_iterator(root)) {
        std::string name = entry.path().filename();
        if (name != "app" && name != "input.tme" && name != "rebuilt.tme") std::abort();
    }
    for (const auto& entry : fs::directory_iterator(app))
        if (entry.path().filename() != "input_template") std::abort();
    return 0;
}
