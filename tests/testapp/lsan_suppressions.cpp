// lsan_suppressions.cpp - leaks of the desktop libraries that the form's
// tests cannot free: fontconfig keeps its configuration for the process's
// lifetime once Qt has loaded fonts.  Read by LeakSanitizer at exit.
extern "C" __attribute__((visibility("default"))) const char *__lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}
