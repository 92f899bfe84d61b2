#pragma once
// How a program ends once its work is done, written and closed (process_end_<platform>.cpp).

// Returns the exit code for main to return, where the process ends that way.
int EndProcess(int code);
