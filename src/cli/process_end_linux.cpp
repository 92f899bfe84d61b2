#include "cli/process_end.h"

int EndProcess(int code) {
    return code;
}
