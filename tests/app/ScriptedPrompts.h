#pragma once
// Prompts answered by a script: every box and dialog is recorded, and the
// answers are taken from queues (a confirmation without a queued answer is
// Yes; a file dialog without one is cancelled).
#include "app/Prompts.h"

#include <QStringList>

#include <deque>
#include <optional>
#include <vector>

struct ScriptedPrompts : kep::Prompts {
    struct Shown {
        QString Kind; // "Error", "Information", "Warning", "Confirm", "Open", "Save", "Folder", "Exception"
        QString Text; // the box's text, or the dialog's title
        QString Details;
        kep::FileDialogRequest Request;
    };
    std::vector<Shown> Log;
    std::deque<kep::ConfirmAnswer> Answers;
    std::deque<std::optional<QString>> Files;

    void ErrorBox(const QString& text) override { Log.push_back({"Error", text, {}, {}}); }
    void InformationBox(const QString& text) override { Log.push_back({"Information", text, {}, {}}); }
    void WarningBox(const QString& text) override { Log.push_back({"Warning", text, {}, {}}); }
    kep::ConfirmAnswer ConfirmBox(const QString& text) override
    {
        Log.push_back({"Confirm", text, {}, {}});
        return Take(Answers, kep::ConfirmAnswer::Yes);
    }
    std::optional<QString> OpenFileDialog(const kep::FileDialogRequest& request) override
    {
        Log.push_back({"Open", request.Title, {}, request});
        return Take(Files, std::optional<QString>());
    }
    std::optional<QString> SaveFileDialog(const kep::FileDialogRequest& request) override
    {
        Log.push_back({"Save", request.Title, {}, request});
        return Take(Files, std::optional<QString>());
    }
    std::optional<QString> FolderDialog(const kep::FileDialogRequest& request) override
    {
        Log.push_back({"Folder", request.Title, {}, request});
        return Take(Files, std::optional<QString>());
    }
    void ExceptionBox(const QString& message, const QString& details) override
    {
        Log.push_back({"Exception", message, details, {}});
    }

    QStringList Kinds() const
    {
        QStringList kinds;
        for (const Shown& shown : Log)
            kinds << shown.Kind;
        return kinds;
    }

private:
    template <typename T>
    static T Take(std::deque<T>& queue, T fallback)
    {
        if (queue.empty())
            return fallback;
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};
