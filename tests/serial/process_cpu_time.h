#pragma once
// The processor time this process used so far, all threads together: shows a thread that spins.

#include <chrono>

std::chrono::microseconds ProcessCpuTime();
