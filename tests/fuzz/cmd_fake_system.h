// A recording stand-in for talvo-cmd's system layer: an in-memory file system
// under /w, descriptors, pipes and children that run at once, and a
// termination request that arrives after a chosen number of calls. The
// interpreter above it is the real one.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace talvo::cmd::fake {

// Back to the initial files, no open descriptors but 0, 1 and 2, and a
// termination request at the terminateAfter-th call (0: never).
void reset(std::size_t terminateAfter);

// What the run left that a real system would keep: descriptors still open
// beyond 0, 1 and 2, and children started but never waited for.
std::vector<int> openDescriptors();
std::size_t childrenNotWaitedFor();
bool terminated();

// Every call made, one line each, for reading a finding.
const std::vector<std::string>& calls();

} // namespace talvo::cmd::fake
