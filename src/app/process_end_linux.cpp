#include "app/process_end.h"

int EndProcess(int code) {
    return code;
}
