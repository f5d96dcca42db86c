// A program that links the crash handler and never calls it, then writes
// through a null pointer: linking the handler alone must install it, as it
// does for ZxVCam.exe.
int main() {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 2;
}
