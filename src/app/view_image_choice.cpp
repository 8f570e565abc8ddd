#include "app/view_image_choice.h"

namespace {

constexpr int kScales[] = {1, 2, 4};

}  // namespace

void ViewImageHook::AddCustomControls(wxFileDialogCustomize &customizer)
{
    const wxString labels[] = {"View size", "2 x view size", "4 x view size"};
    customizer.AddStaticText("Size:");
    scale_ = customizer.AddChoice(std::size(labels), labels);
    int at = 0;
    for (int i = 0; i < static_cast<int>(std::size(kScales)); ++i)
        if (kScales[i] == choice_.scale)
            at = i;
    scale_->SetSelection(at);
    transparent_ = customizer.AddCheckBox("Transparent background");
    transparent_->SetValue(choice_.transparent);
}

void ViewImageHook::TransferDataFromCustomControls()
{
    const int at = scale_->GetSelection();
    choice_.scale = at >= 0 && at < static_cast<int>(std::size(kScales)) ? kScales[at] : 1;
    choice_.transparent = transparent_->GetValue();
}
