// Test helper: after a pause, writes its arguments one per line into a file named relative
// to its working directory, so a test sees what it was given, where, and when it ended.
// Usage: write_args <pause-ms> <file> [arguments...]
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[1])));
    const std::filesystem::path target = argv[2];
    const std::filesystem::path partial = target.string() + ".part";
    {
        std::ofstream out(partial, std::ios::binary);
        for (int i = 3; i < argc; ++i) out << argv[i] << '\n';
        if (!out) return 1;
    }
    // Renamed when complete, so that a file seen is a file finished.
    std::error_code error;
    std::filesystem::rename(partial, target, error);
    return error ? 1 : 0;
}
