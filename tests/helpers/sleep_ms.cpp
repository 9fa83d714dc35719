// Test helper: a program that runs for a given time and ends with a given exit code, for
// the tests that look for running programs and wait for them.
// Usage: sleep_ms <ms> [exit-code]
#include <chrono>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[1])));
    return argc > 2 ? std::atoi(argv[2]) : 0;
}
