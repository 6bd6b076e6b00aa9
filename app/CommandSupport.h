#pragma once
// What the editor's commands share: the image-name test, the stretch rule,
// the template branch of the tree refresh, the edited template, and a guard
// that turns buttons on again on every way out of a command.
#include "app/TF_Main.h"

#include <functional>
#include <string>

namespace kep {

inline const char kStatusPickAction[] = "Select an action from buttons on side.";

// A member is previewed when its name ends exactly in ".jpg" or ".bmp"
// (a name shorter than four characters is compared whole).
bool IsImageName(const std::string& name);

// Image1's settings for its picture: a picture narrower than the view less
// one pixel is never stretched; a wider one follows the check box.
void ApplyStretchRule(TF_Main& window);

// Shows the code of the template member name (the template branch of the refresh).
void ShowTemplateCode(TF_Main& window, const std::string& name);

// The template whose code the editor shows: the selected member of a pack,
// or the working copy of a single template.
std::string EditedTemplateName(const TF_Main& window);
std::string EditedTemplatePath(const TF_Main& window);

// Runs its action when the command ends, also by an exception.
class OnExit {
public:
    explicit OnExit(std::function<void()> action) : action_(std::move(action)) {}
    ~OnExit() { if (action_) action_(); }
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;

private:
    std::function<void()> action_;
};

} // namespace kep
