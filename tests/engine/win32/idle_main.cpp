// Stands in for the installed product while it runs: says "ready" once its
// image is mapped, then waits until its standard input is closed.
#include <cstdio>

int main() {
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    while (std::fgetc(stdin) != EOF) {
    }
    return 0;
}
