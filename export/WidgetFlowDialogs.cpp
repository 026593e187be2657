#include "export/WidgetFlowDialogs.h"

#include "config/ChooseFolder.h"
#include "library/ui/CFileSelectDlg.h"
#include "ui/CMsgDlg.h"
#include "ui/UiText.h"

namespace kirvano {

std::string WidgetFlowDialogs::ChooseFolder(std::string_view section, std::string_view key,
                                            std::string_view title) {
    return kirvano::ChooseFolder(owner_, section, key, title);
}

bool WidgetFlowDialogs::Message(const std::string& text, const std::string& caption,
                                bool okCancel) {
    return CMsgBox(owner_).Show(text, caption, okCancel ? kMbOkCancel : kMbOk) == kIdOk;
}

std::optional<std::vector<RecordingInfo>>
WidgetFlowDialogs::SelectRecordings(SelectionMode mode, const std::vector<RecordingInfo>& listed,
                                    const std::vector<RecordingInfo>& all) {
    CFileSelectDlg dialog(mode == kSelectForJoin ? FileSelection::kJoin : FileSelection::kDelete,
                          owner_);
    dialog.SetMessageFunction([this](const std::string& text, const std::string& caption,
                                     bool okCancel) { return Message(text, caption, okCancel); });
    if (mode == kSelectForDelete)
        dialog.SetAll(all); // more than 1500 was told by the flow
    dialog.SetListed(listed);
    if (!dialog.Run())
        return std::nullopt;
    return dialog.Result();
}

std::optional<std::vector<RecordingInfo>> WidgetFlowDialogs::PickRecordings(
    const std::string& title, const std::vector<RecordingInfo>& listed,
    const std::vector<RecordingInfo>& all, const std::string& ticked) {
    CFileSelectDlg dialog(FileSelection::kDelete, owner_);
    dialog.SetTexts(title, "OK");
    dialog.SetMessageFunction([this](const std::string& text, const std::string& caption,
                                     bool okCancel) { return Message(text, caption, okCancel); });
    if (!dialog.SetAll(all))
        Message(UiText(105), "ERROR", false);
    dialog.SetListed(listed);
    dialog.TickPath(ticked);
    if (!dialog.Run())
        return std::nullopt;
    return dialog.Result();
}

} // namespace kirvano
