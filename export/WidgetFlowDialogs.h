// The viewer's answers to the file flows' questions: the folder chooser, the program's
// message dialog and the recording selection dialog, owned by the main window.
#pragma once

#include "export/FlowDialogs.h"

class QWidget;

namespace kirvano {

class WidgetFlowDialogs : public FlowDialogs {
public:
    explicit WidgetFlowDialogs(QWidget* owner) : owner_(owner) {}

    std::string ChooseFolder(std::string_view section, std::string_view key,
                             std::string_view title) override;
    bool Message(const std::string& text, const std::string& caption, bool okCancel) override;
    std::optional<std::vector<RecordingInfo>>
    SelectRecordings(SelectionMode mode, const std::vector<RecordingInfo>& listed,
                     const std::vector<RecordingInfo>& all) override;
    std::optional<std::vector<RecordingInfo>>
    PickRecordings(const std::string& title, const std::vector<RecordingInfo>& listed,
                   const std::vector<RecordingInfo>& all, const std::string& ticked) override;

private:
    QWidget* owner_;
};

} // namespace kirvano
