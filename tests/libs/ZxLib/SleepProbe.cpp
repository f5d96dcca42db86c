// A program that only waits (at most a minute), for the process tests: they
// start copies of it and end them.
#include <windows.h>

int main() {
    Sleep(60000);
    return 0;
}
