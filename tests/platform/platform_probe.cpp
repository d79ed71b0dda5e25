// Exports one function so the loader tests can tell a resolved entry point
// from a missing one and call it.
extern "C" __attribute__((visibility("default"))) int platform_probe_answer() {
    return 42;
}
