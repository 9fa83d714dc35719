// Test helper: holds a file open, sharing it with nobody (Windows; on POSIX with an exclusive
// lock, which only those who lock as well see), for a while, as a virus scanner or an indexer
// does for a moment. A marker file says when the hold has begun.
// Usage: hold_file <file> <ms> <marker>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

int main(int argc, char** argv) {
    if (argc < 4) return 2;
#ifdef _WIN32
    const HANDLE held = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) return 1;
#else
    const int held = open(argv[1], O_RDONLY);
    if (held < 0 || flock(held, LOCK_EX) != 0) return 1;
#endif
    std::ofstream(argv[3]) << "held";
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
#ifdef _WIN32
    CloseHandle(held);
#else
    close(held);
#endif
    return 0;
}
