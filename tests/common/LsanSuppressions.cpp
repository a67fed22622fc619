// Linked into every test program of a sanitizer build. fontconfig keeps its
// caches until the process ends; that memory is not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
