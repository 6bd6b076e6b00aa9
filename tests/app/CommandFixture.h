#pragma once
// A main window over real files in a temporary folder, with its message boxes,
// file dialogs and format choices answered by a script, and builders for the
// templates, pictures and packs the command tests open.
#include "app/Prompts.h"
#include "app/TF_Main.h"
#include "app/TF_Select.h"
#include "formstream/FormTextToBinary.h"
#include "formstream/Stream.h"
#include "support/Files.h"
#include "support/Jpeg.h"
#include "support/TmeFiles.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QTextCursor>

#include <cstdint>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kep::testing_support {

using Bytes = std::string;

using test::PutLE;

inline Bytes ReadBytes(const std::string& path) { return test::ReadFile(path); }

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    test::WriteFile(path, bytes);
}

// A menu template file around a component stream, with the header fields the
// command tests use.
inline Bytes TemplateAround(const Bytes& stream, const Bytes& trailer = {}) {
    return test::TemplateFile(stream, trailer, '2', "\x01\xA2\x0F", std::string("\x00\x01\x02", 3));
}

// A menu template file holding the component stream of code.
inline Bytes MakeTemplate(const std::string& code, const Bytes& trailer = {}) {
    TStringStream input(code);
    TStringStream stream;
    FormTextToBinary(input, stream);
    return TemplateAround(stream.DataString(), trailer);
}

inline std::string SimpleCode(const std::string& caption) {
    return "object Menu: TMenu\r\n  Caption = '" + caption + "'\r\n  Left = 10\r\nend\r\n";
}

// A template pack laid out as the editor writes one.
inline Bytes MakePack(const std::string& name, const std::vector<std::pair<std::string, Bytes>>& members) {
    return test::PackOf(members, name);
}

// A JPEG of one colour, at libjpeg's default quality.
inline Bytes MakeJpeg(int width, int height, uint8_t r = 200, uint8_t g = 30, uint8_t b = 60) {
    std::vector<uint8_t> bytes = test::EncodeJpeg(width, height, 3, JCS_RGB, JCS_YCbCr, 75, [&](int, uint8_t* row) {
        for (int x = 0; x < width; ++x) {
            row[static_cast<size_t>(x) * 3] = r;
            row[static_cast<size_t>(x) * 3 + 1] = g;
            row[static_cast<size_t>(x) * 3 + 2] = b;
        }
    });
    return Bytes(bytes.begin(), bytes.end());
}

inline Bytes MakeBmp(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(10, 20, 30));
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return Bytes(data.constData(), static_cast<size_t>(data.size()));
}

// Every box and dialog is recorded; answers come from queues. A question
// without a queued answer counts as a test failure and answers No; a dialog
// without one is cancelled.
struct CommandPrompts : Prompts {
    struct Shown {
        std::string Kind; // "Error", "Information", "Warning", "Confirm", "Open", "Save", "Folder", "Exception"
        QString Text;     // the box's text, or the dialog's title
        FileDialogRequest Request;
    };
    std::vector<Shown> Log;
    std::deque<ConfirmAnswer> Answers;
    std::deque<std::optional<QString>> Files;

    void ErrorBox(const QString& text) override { Log.push_back({"Error", text, {}}); }
    void InformationBox(const QString& text) override { Log.push_back({"Information", text, {}}); }
    void WarningBox(const QString& text) override { Log.push_back({"Warning", text, {}}); }
    ConfirmAnswer ConfirmBox(const QString& text) override {
        Log.push_back({"Confirm", text, {}});
        if (Answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return ConfirmAnswer::No;
        }
        ConfirmAnswer answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    std::optional<QString> OpenFileDialog(const FileDialogRequest& request) override {
        Log.push_back({"Open", request.Title, request});
        return TakeFile();
    }
    std::optional<QString> SaveFileDialog(const FileDialogRequest& request) override {
        Log.push_back({"Save", request.Title, request});
        return TakeFile();
    }
    std::optional<QString> FolderDialog(const FileDialogRequest& request) override {
        Log.push_back({"Folder", request.Title, request});
        return TakeFile();
    }
    void ExceptionBox(const QString& message, const QString&) override {
        Log.push_back({"Exception", message, {}});
    }

    std::vector<QString> Texts(const std::string& kind) const {
        std::vector<QString> texts;
        for (const Shown& shown : Log)
            if (shown.Kind == kind) texts.push_back(shown.Text);
        return texts;
    }
    const Shown* Last(const std::string& kind) const {
        for (auto it = Log.rbegin(); it != Log.rend(); ++it)
            if (it->Kind == kind) return &*it;
        return nullptr;
    }

private:
    std::optional<QString> TakeFile() {
        if (Files.empty()) return std::nullopt;
        std::optional<QString> file = Files.front();
        Files.pop_front();
        return file;
    }
};

// The format-choice dialog answered from a queue (cancelled when empty).
struct ScriptedSelect : TF_Select {
    std::deque<int> Choices;
    int Shown = 0;
    int ShowModal() override {
        ++Shown;
        if (Choices.empty()) return kFormatCancelled;
        int choice = Choices.front();
        Choices.pop_front();
        return choice;
    }
};

// A fresh home, program folder and files folder for each test; the settings
// already name the running test program, so start-up runs no first-run set-up.
class CommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        Root = test::MakeTempFolder("kep-cmd").string();
        ASSERT_FALSE(Root.empty());
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
            const char* value = getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        setenv("HOME", Root.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (Root + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (Root + "/data").c_str(), 1);
        AppDir = Root + "/app";
        Files = Root + "/files/";
        std::filesystem::create_directories(AppDir);
        std::filesystem::create_directories(Files);
        {
            QSettings settings(QString::fromStdString(Root + "/config/Orvenhall/Kep Template Editor.conf"),
                               QSettings::IniFormat);
            settings.setValue("AppPath", QCoreApplication::applicationFilePath());
            settings.setValue("AppDir", QString::fromStdString(AppDir));
            settings.setValue("TmeDir", QString::fromStdString(Files));
            settings.setValue("TmeSaveDir", QString::fromStdString(Files));
        }
        auto prompts = std::make_unique<CommandPrompts>();
        Ask = prompts.get();
        Window = std::make_unique<TF_Main>(QStringList{}, std::move(prompts));
        Window->F_Select = &Format;
        ASSERT_EQ(Window->AppDir, AppDir);
    }

    void TearDown() override {
        Window.reset();
        for (auto& [name, value] : saved_) {
            if (value) setenv(name.c_str(), value->c_str(), 1);
            else unsetenv(name.c_str());
        }
        std::filesystem::remove_all(Root);
    }

    std::string StoredSetting(const char* name) const {
        QSettings settings(QString::fromStdString(Root + "/config/Orvenhall/Kep Template Editor.conf"),
                           QSettings::IniFormat);
        return settings.value(name).toString().toStdString();
    }

    // Opens a file through the Open command.
    void Open(const std::string& path) {
        Ask->Files.push_back(QString::fromStdString(path));
        Window->B_Open->click();
    }
    // Writes a pack into the files folder and opens it.
    std::string OpenPack(const std::string& fileName, const std::vector<std::pair<std::string, Bytes>>& members,
                         const std::string& packName = "Holiday") {
        const std::string path = Files + fileName;
        WriteBytes(path, MakePack(packName, members));
        Open(path);
        return path;
    }
    std::string WorkDir() const { return Window->State.WorkDir; }

    QTreeWidgetItem* Entry(const QString& text) const {
        for (int i = 0; i < Window->TreeCount(); ++i)
            if (Window->TreeItemAt(i)->text(0) == text) return Window->TreeItemAt(i);
        return nullptr;
    }
    // Selects an entry as a click on it does.
    void ClickEntry(const QString& text) {
        QTreeWidgetItem* entry = Entry(text);
        ASSERT_NE(entry, nullptr) << text.toStdString();
        Window->TreeSelect(entry);
        Window->RunCommand("TreeView1Click", [this] { Window->TreeView1Click(); });
    }
    QString SelectedText() const {
        QTreeWidgetItem* selected = Window->TreeSelected();
        return selected ? selected->text(0) : QString();
    }
    QString Status() const { return Window->L_Action->text(); }
    QString EditorCode() const { return QString::fromStdString(Window->EditorText()); }
    // Types at the end of the code, as the user does.
    void Type(const QString& text) {
        QTextCursor cursor = Window->Editor->textCursor();
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(text);
    }
    // Replaces the code by hand.
    void Retype(const std::string& code) {
        Window->Editor->selectAll();
        Window->Editor->insertPlainText(QString::fromStdString(code).replace("\r\n", "\n"));
    }
    std::vector<QString> Exceptions() const { return Ask->Texts("Exception"); }

    std::string Root, AppDir, Files;
    CommandPrompts* Ask = nullptr;
    ScriptedSelect Format;
    std::unique_ptr<TF_Main> Window;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace kep::testing_support
