// The file flows' questions answered from a script: folders to choose ("" cancels),
// answers to OK/Cancel questions (Cancel when the script runs out), the recordings to tick,
// and every message shown, in order.
#pragma once

#include "export/FlowDialogs.h"

#include <deque>
#include <functional>

namespace kirvano::testing {

struct ScriptedDialogs : FlowDialogs {
    std::deque<std::string> folders;
    std::deque<bool> answers;
    // Given the rows offered (all recordings for a delete, the listed ones for a join);
    // unset cancels the dialog.
    std::function<std::vector<RecordingInfo>(const std::vector<RecordingInfo>&)> pick;
    std::vector<std::string> shown;
    SelectionMode askedMode = kSelectForDelete;
    std::size_t offeredAll = 0;

    std::string ChooseFolder(std::string_view, std::string_view, std::string_view) override {
        return Take(folders, std::string());
    }
    bool Message(const std::string& text, const std::string&, bool okCancel) override {
        shown.push_back(text);
        return !okCancel || Take(answers, false);
    }
    std::optional<std::vector<RecordingInfo>>
    SelectRecordings(SelectionMode mode, const std::vector<RecordingInfo>& listed,
                     const std::vector<RecordingInfo>& all) override {
        askedMode = mode;
        offeredAll = all.size();
        if (!pick)
            return std::nullopt;
        return pick(mode == kSelectForDelete ? all : listed);
    }
    // Offers the listed rows with the ticked one first, so that a script can keep it.
    std::optional<std::vector<RecordingInfo>>
    PickRecordings(const std::string&, const std::vector<RecordingInfo>& listed,
                   const std::vector<RecordingInfo>& all, const std::string& ticked) override {
        offeredAll = all.size();
        pickedFirst = ticked;
        if (!pick)
            return std::nullopt;
        return pick(listed);
    }
    std::string pickedFirst;

private:
    template <class T> static T Take(std::deque<T>& script, T otherwise) {
        if (script.empty())
            return otherwise;
        T next = script.front();
        script.pop_front();
        return next;
    }
};

} // namespace kirvano::testing
