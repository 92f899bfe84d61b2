#include <time.h>

#include "process_cpu_time.h"

std::chrono::microseconds ProcessCpuTime() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_nsec / 1000);
}
