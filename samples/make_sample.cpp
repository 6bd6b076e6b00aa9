// Makes the sample template pack: two menu templates whose component streams
// are written with TWriter, a gradient JPEG and a gradient BMP, packed by the
// same rebuild that the editor's Save uses.
#include "document/PackFormat.h"
#include "document/NullDocumentWindow.h"
#include "document/TemplateDocument.h"
#include "formstream/Exceptions.h"
#include "formstream/Filer.h"
#include "tests/support/Jpeg.h"
#include "tests/support/TmeFiles.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace kep;

void Property(TWriter& w, const std::string& name, int32_t value) {
    w.WriteShortString(name);
    w.WriteInt32Value(value);
}

void Property(TWriter& w, const std::string& name, const std::string& text) {
    w.WriteShortString(name);
    w.WriteTag(ValueTag::String);
    w.WriteShortString(text);
}

void Button(TWriter& w, const std::string& name, const std::string& caption, int32_t top, const std::string& target) {
    w.WriteShortString("TMenuButton");
    w.WriteShortString(name);
    Property(w, "Left", 80);
    Property(w, "Top", top);
    Property(w, "Width", 240);
    Property(w, "Height", 48);
    Property(w, "Caption", caption);
    Property(w, "LinkTarget", target);
    w.WriteShortString("Visible");
    w.WriteTag(ValueTag::True);
    w.WriteEndMarker();
    w.WriteEndMarker();
}

// A menu template: the 42-byte header, then the component stream.
std::vector<uint8_t> MenuTemplate(const std::string& title, const std::string& background, uint8_t id) {
    TStringStream stream;
    {
        TWriter w(stream);
        w.PutSignature();
        w.WriteShortString("TMenuPage");
        w.WriteShortString("MenuPage");
        Property(w, "Width", 720);
        Property(w, "Height", 576);
        Property(w, "Title", title);
        Property(w, "Background", background);
        w.WriteShortString("FontName");
        w.WriteIdentValue("Sans");
        w.WriteEndMarker();
        Button(w, "PlayButton", "Play", 360, "Title 1");
        Button(w, "ChapterButton", "Chapters", 420, "Menu 2");
        w.WriteEndMarker();
        w.FlushOutput();
    }
    std::string file = test::TemplateFile(stream.DataString(), {}, kTemplateVersion,
                                          std::string{'\x4B', '\x45', static_cast<char>(id)});
    return std::vector<uint8_t>(file.begin(), file.end());
}

void Gradient(int width, int height, int x, int y, uint8_t rgb[3]) {
    rgb[0] = static_cast<uint8_t>(255 * x / (width - 1));
    rgb[1] = static_cast<uint8_t>(255 * y / (height - 1));
    rgb[2] = static_cast<uint8_t>(160);
}

std::vector<uint8_t> Jpeg(int width, int height) {
    return test::EncodeJpeg(width, height, 3, JCS_RGB, JCS_YCbCr, 85, [&](int y, uint8_t* row) {
        for (int x = 0; x < width; ++x) Gradient(width, height, x, y, &row[static_cast<size_t>(x) * 3]);
    });
}

// A 24-bit bottom-up BMP.
std::vector<uint8_t> Bmp(int width, int height) {
    uint32_t rowSize = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    uint32_t pixels = rowSize * static_cast<uint32_t>(height);
    std::vector<uint8_t> bytes(54 + pixels, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    WriteLE(&bytes[2], bytes.size(), 4);
    WriteLE(&bytes[10], 54, 4);
    WriteLE(&bytes[14], 40, 4);
    WriteLE(&bytes[18], static_cast<uint32_t>(width), 4);
    WriteLE(&bytes[22], static_cast<uint32_t>(height), 4);
    WriteLE(&bytes[26], 1, 2);
    WriteLE(&bytes[28], 24, 2);
    WriteLE(&bytes[34], pixels, 4);
    WriteLE(&bytes[38], 2835, 4);
    WriteLE(&bytes[42], 2835, 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t rgb[3];
            Gradient(width, height, x, height - 1 - y, rgb);
            uint8_t* p = &bytes[54 + rowSize * static_cast<uint32_t>(y) + static_cast<uint32_t>(x) * 3];
            p[0] = rgb[2];
            p[1] = rgb[1];
            p[2] = rgb[0];
        }
    return bytes;
}

void AddMember(TemplateDocument& document, const std::string& name, const std::vector<uint8_t>& bytes) {
    DocumentState& state = document.State;
    TMemoryStream file;
    file.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    file.SaveToFile(state.WorkDir + "/" + name);
    ++state.FileCount;
    state.FileNames[state.FileCount] = name;
    state.FileInfo[state.FileCount] = TFileInfo{static_cast<int64_t>(bytes.size()), 0};
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample OUT.tme\n");
        return 2;
    }
    std::string out = argv[1];
    std::string work = out + ".members";
    try {
        std::filesystem::create_directories(work);
        NullDocumentWindow window;
        TemplateDocument document(window);
        DocumentState& state = document.State;
        state.WorkDir = work;
        state.PackHeader = std::string(kPackMagic) + kPackVersion;
        state.PackName = "Sample";
        state.PackNameLength = static_cast<uint8_t>(state.PackName.size());
        AddMember(document, "menu1.tme", MenuTemplate("Main menu", "background.jpg", 1));
        AddMember(document, "menu2.tme", MenuTemplate("Chapters", "chapters.bmp", 2));
        AddMember(document, "background.jpg", Jpeg(160, 120));
        AddMember(document, "chapters.bmp", Bmp(64, 48));
        document.RebuildPack(out);
        std::filesystem::remove_all(work);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_sample: %s\n", error.what());
        std::error_code ec;
        std::filesystem::remove_all(work, ec);
        return 1;
    }
    return 0;
}
