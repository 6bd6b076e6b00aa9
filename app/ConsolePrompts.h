#pragma once
// Prompts for a start without a person (KEP_SETUP_ONLY): every box is written
// to the standard error, questions are answered No and dialogs cancelled.
#include "app/Prompts.h"

#include <cstdio>

namespace kep {

class ConsolePrompts : public Prompts {
public:
    void ErrorBox(const QString& text) override { Print("Error", text); }
    void InformationBox(const QString& text) override { Print("Information", text); }
    void WarningBox(const QString& text) override { Print("Warning", text); }
    ConfirmAnswer ConfirmBox(const QString& text) override
    {
        Print("Confirm", text);
        return ConfirmAnswer::No;
    }
    std::optional<QString> OpenFileDialog(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<QString> SaveFileDialog(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<QString> FolderDialog(const FileDialogRequest&) override { return std::nullopt; }
    void ExceptionBox(const QString& message, const QString& details) override
    {
        Print("Error", message + '\n' + details);
    }

private:
    static void Print(const char* caption, QString text)
    {
        text.replace('\r', '\n');
        std::fprintf(stderr, "marqetto: %s: %s\n", caption, text.toLocal8Bit().constData());
    }
};

} // namespace kep
