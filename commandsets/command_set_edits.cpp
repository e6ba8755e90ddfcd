// Changes to the command-set file; see command_set_edits.h.
#include "commandsets/command_set_edits.h"

#include "commandsets/command_set_text.h"

namespace talvo::commandsets {

EditRefusal checkValues(const CommandSetFile& file, const CommandSet& set) {
    if (!file.readsBackWhole(set.name))
        return EditRefusal::NameTooLong;
    if (!file.readsBackWhole(set.commandLine))
        return EditRefusal::CommandLineTooLong;
    return EditRefusal::None;
}

EditResult addSet(const CommandSetFile& file, int count, std::optional<int> beforeLine,
                  const CommandSet& set) {
    if (count >= kMaxSets)
        return {EditRefusal::ListFull, 0};
    if (const auto refusal = checkValues(file, set); refusal != EditRefusal::None)
        return {refusal, 0};
    if (!beforeLine || *beforeLine < 0 || *beforeLine >= count) {
        file.write(count + 1, set);
        return {EditRefusal::None, count + 1};
    }
    const int target = *beforeLine + 1;
    for (int k = count; k >= target; --k)
        file.write(k + 1, file.read(k));
    file.write(target, set);
    return {EditRefusal::None, target};
}

EditResult renewSet(const CommandSetFile& file, int line, const CommandSet& set) {
    if (const auto refusal = checkValues(file, set); refusal != EditRefusal::None)
        return {refusal, 0};
    file.write(line + 1, set);
    return {EditRefusal::None, line + 1};
}

void deleteSet(const CommandSetFile& file, int count, int line) {
    if (line < 0 || line >= count)
        return;
    for (int k = line + 1; k < count; ++k)
        file.write(k, file.read(k + 1));
    // The last listed set is cleared outright: reading "set count + 1" instead
    // would reach past set 15 when the list is full.
    file.write(count, CommandSet{});
}

std::optional<int> firstFreeSet(const CommandSetFile& file) {
    for (int n = 1; n <= kMaxSets; ++n)
        if (file.read(n).empty())
            return n;
    return std::nullopt;
}

std::optional<int> storeSearch(const CommandSetFile& file, const std::string& commandLine) {
    const auto n = firstFreeSet(file);
    if (n)
        file.write(*n, CommandSet{std::string(kUntitledName), commandLine});
    return n;
}

} // namespace talvo::commandsets
