// A library that is not a data library: it has no ZxDllInit.
extern "C" __declspec(dllexport) int SomethingElse() { return 1; }
