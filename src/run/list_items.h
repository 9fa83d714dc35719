// How every command splits a list value: items between commas, each trimmed of spaces.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"

// 0 for an empty value, else one more than the number of commas.
inline int itemCount(const Text& list) { return list.fieldCount(","); }

// Item i trimmed of leading and trailing spaces (not tabs); empty past the end.
inline Text listItem(const Text& list, int i) {
    Text item = list.field(i, ",");
    item.trim(" ");
    return item;
}

// A list value split once into its items. Reading a long list item by item from its start
// each time would take time growing with the square of its length.
class ItemList {
public:
    explicit ItemList(const Text& list) {
        const int count = itemCount(list);
        items_.reserve(static_cast<size_t>(count));
        const std::string_view text(list.c_str());  // up to a NUL, as every reading of a value
        size_t start = 0;
        for (int i = 0; i < count; ++i) {
            const size_t comma = text.find(',', start);
            const size_t end = comma == std::string_view::npos ? text.size() : comma;
            Text item{std::string(text.substr(start, end - start))};
            item.trim(" ");
            items_.push_back(std::move(item));
            start = end + 1;
        }
    }
    int count() const { return static_cast<int>(items_.size()); }
    // Item i as listItem gives it: empty past the end, where a list is shorter than its partner.
    const Text& operator[](int i) const {
        static const Text none;
        return i >= 0 && i < count() ? items_[static_cast<size_t>(i)] : none;
    }
    std::vector<Text>::const_iterator begin() const { return items_.begin(); }
    std::vector<Text>::const_iterator end() const { return items_.end(); }

private:
    std::vector<Text> items_;
};
