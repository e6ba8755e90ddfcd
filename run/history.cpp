// History insertion for the two boxes.
#include "run/history.h"

namespace talvo::run {

std::vector<std::string> insertIntoHistory(std::vector<std::string> entries,
                                           const std::string& text) {
    // An empty list counts as one whose first entry is empty.
    const std::string first = entries.empty() ? std::string() : entries.front();
    if (first != text)
        entries.insert(entries.begin(), text);
    if (entries.size() > kHistoryLimit)
        entries.pop_back();
    return entries;
}

} // namespace talvo::run
