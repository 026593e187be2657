// The table of every user-interface text, addressed by entry number, in two columns:
// column 0 Japanese, column 1 English.
#pragma once

#include <string>

namespace kirvano {

inline constexpr int kUiTextEntries = 260;

// The entry of the chosen column; empty for an empty entry or a number outside 0..259.
const std::string& UiText(int entry);

// Column from KIRVANO_LANG ("ja" 0, "en" 1), else from the locale (LC_ALL, LC_MESSAGES,
// LANG: English picks 1), else 0.
int UiTextColumnFromEnvironment();
// Chosen once at start-up; 0 until then.
void SelectUiTextColumn(int column);
int SelectedUiTextColumn();

// The entry of a given column, for tests and tools.
const std::string& UiTextOf(int column, int entry);

} // namespace kirvano
