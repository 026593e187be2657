#include "ui/UiText.h"

#include <atomic>
#include <cstdlib>
#include <initializer_list>
#include <string_view>

namespace kirvano {
namespace {

struct Entry {
    const char* japanese;
    const char* english;
};

constexpr Entry kFilled[] = {
#include "ui/UiTextTable.inc"
};
constexpr int kFilledEntries = static_cast<int>(sizeof(kFilled) / sizeof(kFilled[0]));
static_assert(kFilledEntries <= kUiTextEntries);

struct Table {
    std::string columns[2][kUiTextEntries];
    Table() {
        for (int i = 0; i < kFilledEntries; ++i) {
            columns[0][i] = kFilled[i].japanese;
            columns[1][i] = kFilled[i].english;
        }
    }
};

const Table& TheTable() {
    static const Table table;
    return table;
}

const std::string& Empty() {
    static const std::string empty;
    return empty;
}

std::atomic<int> selectedColumn{0};

// The first non-empty value of the named variables, or empty.
std::string_view FirstSet(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return value;
    }
    return {};
}

} // namespace

const std::string& UiTextOf(int column, int entry) {
    if (column < 0 || column > 1 || entry < 0 || entry >= kUiTextEntries)
        return Empty();
    return TheTable().columns[column][entry];
}

const std::string& UiText(int entry) {
    return UiTextOf(SelectedUiTextColumn(), entry);
}

int UiTextColumnFromEnvironment() {
    if (const char* lang = std::getenv("KIRVANO_LANG")) {
        const std::string_view choice(lang);
        if (choice == "ja")
            return 0;
        if (choice == "en")
            return 1;
    }
    const std::string_view locale = FirstSet({"LC_ALL", "LC_MESSAGES", "LANG"});
    return locale.starts_with("en") ? 1 : 0;
}

void SelectUiTextColumn(int column) {
    selectedColumn.store(column == 1 ? 1 : 0);
}

int SelectedUiTextColumn() {
    return selectedColumn.load();
}

} // namespace kirvano
