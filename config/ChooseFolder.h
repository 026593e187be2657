// The common folder chooser of CSV export, join and snapshot.
#pragma once

#include <string>
#include <string_view>

class QWidget;

namespace kirvano {

// Shows a folder chooser owned by owner with title, starting at the folder stored under
// section/key or, when that is empty, at the configuration directory. Returns the chosen
// folder, or an empty string when the user cancels. The key is not written.
std::string ChooseFolder(QWidget* owner, std::string_view section, std::string_view key,
                         std::string_view title);

} // namespace kirvano
