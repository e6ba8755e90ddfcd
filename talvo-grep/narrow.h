// Narrowing a result that talvo-grep wrote itself: the pattern is matched
// against the text part of each line only, and a kept line is written as it
// stands, with its origin, so a narrowing sequence of any length reads like
// one search with all its conditions.
#pragma once

#include "talvo-grep/matcher.h"
#include "talvo-grep/options.h"
#include "talvo-grep/result_file.h"
#include "talvo-grep/searcher.h"
#include "talvo-grep/walk.h"

#include <atomic>
#include <optional>
#include <vector>

namespace talvo::grep {

// The layout of what a search with these options writes.
result::Layout outputLayout(const Options& o, bool showNames);

// For each file: its layout when it is a result file of talvo-grep named on
// the command line by itself (no wild card, no subdirectory search); only
// those are looked at, so a tree search opens no file twice.
std::vector<std::optional<result::Layout>> ownResults(const Options& o,
                                                      const std::vector<FileEntry>& files);

// Searches one such result file; fills r as Searcher::search does.
void searchResult(const Options& o, const Matcher& m, const FileEntry& file,
                  const result::Layout& layout, ScanContext& ctx, FileResult& r,
                  std::atomic<long>& totalLeft);

// The record for the run's output: the searched results' layout with this
// search added when every file was one of them, the run's own layout when
// none was, nothing when they were mixed.
std::optional<result::Layout> runLayout(const Options& o, bool showNames,
                                        const std::vector<std::optional<result::Layout>>& inputs);

} // namespace talvo::grep
