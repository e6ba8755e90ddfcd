#include "talvo-grep/vector_level.h"

#include <algorithm>
#include <atomic>

namespace talvo::grep {

namespace {
VectorLevel detected() {
#if defined(__x86_64__)
    // Byte-wise work on 64 bytes needs the byte and word instructions too.
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw"))
        return VectorLevel::Avx512;
    if (__builtin_cpu_supports("avx2"))
        return VectorLevel::Avx2;
    if (__builtin_cpu_supports("ssse3"))
        return VectorLevel::Sse;
#endif
    return VectorLevel::Scalar;
}

std::atomic<VectorLevel>& level() {
    static std::atomic<VectorLevel> l(detected());
    return l;
}
} // namespace

VectorLevel vectorLevel() {
    return level().load(std::memory_order_relaxed);
}

void capVectorLevel(VectorLevel most) {
    level().store(std::min(detected(), most), std::memory_order_relaxed);
}

} // namespace talvo::grep
