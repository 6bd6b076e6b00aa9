// Empty commands until their real definitions arrive; this file goes away then.
#include "app/TF_Main.h"
#include "app/TF_Select.h"

namespace kep {

void TF_Main::TreeView1Click() {}
void TF_Main::TreeView1KeyUp() {}
void TF_Main::cbStretchClick() {}
void TF_Main::EditorChange() {}
void TF_Main::EditorEnter() {}
void TF_Main::EditorExit() {}
void TF_Main::B_EditorClick() {}
void TF_Main::TestIfSaved() {}
void TF_Main::B_OpenClick() {}
void TF_Main::B_SaveClick() {}
void TF_Main::B_EsportaClick() {}
void TF_Main::B_CambiaClick() {}
void TF_Main::B_EliminaClick() {}
void TF_Main::B_InserisciClick() {}

void ImagePreview::LoadFromFile(const std::string&) {}

TF_Select::TF_Select(QWidget* parent) : QDialog(parent) {}
int TF_Select::ShowModal() { return 2; }

} // namespace kep
