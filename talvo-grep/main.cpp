// talvo-grep: the bundled grep program.
#include <cstdio>

int main() {
    std::fputs("usage: talvo-grep [--dialect NAME] [flags] pattern [files...]\n", stderr);
    return 2;
}
