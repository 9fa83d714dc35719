// The entry point of every unit test executable.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <objbase.h>
#endif

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
#ifdef _WIN32
    // The updater's entry point initialises COM for the shell-link object; so do the tests.
    CoInitialize(nullptr);
#endif
    const int failed = RUN_ALL_TESTS();
#ifdef _WIN32
    CoUninitialize();
#endif
    return failed;
}
