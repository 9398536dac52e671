#include "contact_id.h"

namespace orv {

std::string CidShownText(const TCIDTable& entry) {
    return std::string(entry.name) + " - " + std::to_string(entry.code);
}

std::vector<std::string> CidItems(bool showAll) {
    std::vector<std::string> items;
    items.reserve(ContactIdTable.size());
    for (const auto& e : ContactIdTable) {
        if (showAll || e.hidden == 0) {
            items.push_back(CidShownText(e));
        }
    }
    return items;
}

Byte GetCIDByte(bool hasSelection, std::string_view shownText) {
    if (!hasSelection) {
        return 0;
    }
    for (const auto& e : ContactIdTable) {
        if (CidShownText(e) == shownText) {
            return e.byte;
        }
    }
    return 0;
}

int SetCIDByte(const std::vector<std::string>& items, Byte value) {
    for (const auto& e : ContactIdTable) {
        if (e.byte != value) {
            continue;
        }
        const std::string text = CidShownText(e);
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (items[i] == text) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    return kCidKeepSelection;
}

} // namespace orv
