// A library exporting a function by ordinal 7, for the LoadLibrary/GetProcAddress tests.
extern "C" __attribute__((visibility("default"))) int skv_ordinal_7(int x) {
    return x * 6;
}
