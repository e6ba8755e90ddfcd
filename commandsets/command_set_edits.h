// The changes the editor and the main window make to the command-set file:
// append, insert before a set, renew, delete, and storing the current search.
// Each keeps the numbering dense (sets 1, 2, 3 … with no gap) and refuses a
// value that would not read back whole rather than damaging it.
#pragma once

#include "commandsets/command_set_file.h"

#include <optional>

namespace talvo::commandsets {

enum class EditRefusal { None, ListFull, NameTooLong, CommandLineTooLong };

struct EditResult {
    EditRefusal refusal = EditRefusal::None;
    int setNumber = 0; // the set written; 0 when refused
    bool done() const { return refusal == EditRefusal::None; }
};

// Why set could not be stored whole; None when it can.
EditRefusal checkValues(const CommandSetFile& file, const CommandSet& set);

// count: the sets the editor lists. Without beforeLine the set is appended as
// set count + 1; with line s (0-based) sets count … s + 1 move up by one, from
// the top down, and the new set becomes set s + 1.
EditResult addSet(const CommandSetFile& file, int count, std::optional<int> beforeLine,
                  const CommandSet& set);

// Writes set line + 1.
EditResult renewSet(const CommandSetFile& file, int line, const CommandSet& set);

// Moves sets line + 2 … count down by one and clears set count with empty
// values (its keys stay in the file).
void deleteSet(const CommandSetFile& file, int count, int line);

// The first set 1 … 15 whose name and command line are both empty.
std::optional<int> firstFreeSet(const CommandSetFile& file);

// Stores commandLine under the name "（無題）" in the first free set; nullopt
// (nothing written) when all 15 are taken.
std::optional<int> storeSearch(const CommandSetFile& file, const std::string& commandLine);

} // namespace talvo::commandsets
