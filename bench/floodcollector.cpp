// A pose collector that only reports progress, as fast as it can: "[PROGRESS] i / N" for i from
// 1 to N, then it waits for its standard input to close, as a collector waits for its robot.
//     floodcollector [--lines=N] (default 1,000,000; a copy named *collectCalibPoses*.exe is run)
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    long lines = 1000000;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--lines=", 8) == 0)
            lines = std::atol(argv[i] + 8);
    }
    // The run card starts it with "--path <work folder>"; the line count comes from the
    // environment then.
    if (const char *fromEnvironment = std::getenv("FLOOD_LINES"))
        lines = std::atol(fromEnvironment);
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    for (long i = 1; i <= lines; ++i)
        std::printf("[PROGRESS] %ld / %ld\n", i, lines);
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}
