// Which vector instructions the searches use: the widest this processor
// has, unless a test asks for narrower ones to check every path here.
#pragma once

namespace talvo::grep {

enum class VectorLevel { Scalar, Sse, Avx2, Avx512 };

VectorLevel vectorLevel();
// No level above this one is used from now on (for tests).
void capVectorLevel(VectorLevel most);

} // namespace talvo::grep
