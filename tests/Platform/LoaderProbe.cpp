// A tiny module for the loader test: one entry point with a known answer.
extern "C" int createLoaderProbeObject(int value) {
    return value * 2 + 1;
}
