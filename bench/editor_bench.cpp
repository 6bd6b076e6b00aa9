// The editor on a large pack: opening a pack of 100 members totalling 256 MiB
// until its tree is shown (target < 2 s), and selecting a template whose code
// is about 10 MB until the editor shows it (target < 1 s). Runs offscreen in a
// temporary home; prints the figures.
#include "app/Prompts.h"
#include "app/TF_Main.h"
#include "formstream/FormTextToBinary.h"
#include "formstream/Stream.h"
#include "tests/support/TmeFiles.h"

#include <QApplication>
#include <QTreeWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

struct BenchPrompts : kep::Prompts {
    std::deque<QString> Files;
    void ErrorBox(const QString& text) override { std::fprintf(stderr, "error box: %s\n", qPrintable(text)); }
    void InformationBox(const QString&) override {}
    void WarningBox(const QString& text) override { std::fprintf(stderr, "warning: %s\n", qPrintable(text)); }
    kep::ConfirmAnswer ConfirmBox(const QString&) override { return kep::ConfirmAnswer::No; }
    std::optional<QString> OpenFileDialog(const kep::FileDialogRequest&) override { return Take(); }
    std::optional<QString> SaveFileDialog(const kep::FileDialogRequest&) override { return Take(); }
    std::optional<QString> FolderDialog(const kep::FileDialogRequest&) override { return Take(); }
    void ExceptionBox(const QString& message, const QString&) override {
        std::fprintf(stderr, "error: %s\n", qPrintable(message));
        std::exit(1);
    }
    std::optional<QString> Take() {
        if (Files.empty()) return std::nullopt;
        QString file = Files.front();
        Files.pop_front();
        return file;
    }
};

using kep::test::PutLE;

// A template whose code is about codeBytes long: one object with many
// string properties.
std::string LargeTemplate(size_t codeBytes) {
    std::string code = "object Menu: TMenu\r\n";
    for (int i = 0; code.size() < codeBytes; ++i)
        code += "  Item" + std::to_string(i) + " = 'The quick brown fox jumps over the lazy dog'\r\n";
    code += "end\r\n";
    kep::TStringStream input(code);
    kep::TStringStream stream;
    kep::FormTextToBinary(input, stream);
    return kep::test::TemplateFile(stream.DataString(), {}, '2', "\x01\xA2\x0F", std::string("\x00\x01\x02", 3));
}

// Writes a pack of 100 members: the large template first, then 99 equal
// blocks that bring the total of the members to totalBytes.
void WritePack(const std::string& path, const std::string& bigTemplate, size_t totalBytes) {
    const size_t count = 100;
    const size_t blockSize = (totalBytes - bigTemplate.size()) / (count - 1);
    std::string header(308 + 272 * count, '\0');
    const std::string magic = "TMPGENC-DVDAUTHOR-MENUTEMPLATEPACKFILE-1";
    header.replace(0, magic.size(), magic);
    header[48] = 5;
    header.replace(49, 5, "Bench");
    PutLE(header, 304, count, 4);
    uint64_t offset = header.size();
    for (size_t i = 0; i < count; ++i) {
        const std::string name = i == 0 ? "big.tme" : "block" + std::to_string(i) + ".bin";
        const size_t size = i == 0 ? bigTemplate.size() : blockSize;
        const size_t entry = 308 + 272 * i;
        header[entry] = static_cast<char>(name.size());
        header.replace(entry + 1, name.size(), name);
        PutLE(header, entry + 256, size, 8);
        PutLE(header, entry + 264, offset, 8);
        offset += size;
    }
    std::ofstream out(path, std::ios::binary);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    out.write(bigTemplate.data(), static_cast<std::streamsize>(bigTemplate.size()));
    std::string block(blockSize, '\x5A');
    for (size_t i = 1; i < count; ++i) out.write(block.data(), static_cast<std::streamsize>(block.size()));
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    char pattern[] = "/tmp/kep-editor-bench-XXXXXX";
    const std::string root = mkdtemp(pattern);
    setenv("HOME", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    std::filesystem::create_directories(root + "/app");
    std::filesystem::current_path(root + "/app");

    QApplication application(argc, argv);
    QApplication::setApplicationName("Kep Template Editor");
    QApplication::setOrganizationName("Orvenhall");

    const std::string bigTemplate = LargeTemplate(10u << 20);
    const std::string packPath = root + "/bench.tme";
    WritePack(packPath, bigTemplate, 256u << 20);
    std::printf("pack: 100 members, %.1f MiB of members, file %.1f MiB\n", (256u << 20) / 1048576.0,
                std::filesystem::file_size(packPath) / 1048576.0);

    auto prompts = std::make_unique<BenchPrompts>();
    BenchPrompts* ask = prompts.get();
    {
        kep::TF_Main window(QStringList{}, std::move(prompts));
        window.show();
        QApplication::processEvents();

        const int rounds = 3;
        double openWorst = 0, selectWorst = 0;
        size_t codeLength = 0;
        for (int round = 0; round < rounds; ++round) {
            ask->Files.push_back(QString::fromStdString(packPath));
            auto start = std::chrono::steady_clock::now();
            window.B_Open->click();
            QApplication::processEvents();
            window.TreeView1->repaint();
            const double open = SecondsSince(start);
            if (window.State.FileCount != 100) return std::fprintf(stderr, "pack not opened\n"), 1;

            // An empty editor, so that the code is really put in each round.
            window.State.LoadingText = true;
            window.Editor->clear();
            window.State.LoadingText = false;
            window.TreeSelect(window.TreeView1->topLevelItem(2)->child(0));
            start = std::chrono::steady_clock::now();
            window.RunCommand("TreeView1Click", [&] { window.TreeView1Click(); });
            QApplication::processEvents();
            window.Editor->repaint();
            const double select = SecondsSince(start);
            codeLength = static_cast<size_t>(window.Editor->document()->characterCount());
            std::printf("round %d: open and show the tree %.3f s, select big.tme and show its code %.3f s\n",
                        round + 1, open, select);
            openWorst = std::max(openWorst, open);
            selectWorst = std::max(selectWorst, select);
        }
        std::printf("code shown: %.1f MB in %d lines\n", codeLength / 1e6, window.Editor->document()->blockCount());
        std::printf("worst: open %.3f s (target < 2 s), select %.3f s (target < 1 s)\n", openWorst, selectWorst);
    }
    std::filesystem::current_path("/");
    std::filesystem::remove_all(root);
    return 0;
}
