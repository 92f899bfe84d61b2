#pragma once
// The CPU time this process has used so far, user and system, in seconds
// (process_cpu_time_<platform>.cpp).

double CpuSeconds();
