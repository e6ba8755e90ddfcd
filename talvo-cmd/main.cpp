// talvo-cmd: runs a batch file line by line.
#include <cstdio>

int main() {
    std::fputs("usage: talvo-cmd FILE\n", stderr);
    return 2;
}
