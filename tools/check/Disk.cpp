#include "tools/check/Disk.h"

namespace corvane {

ReadStatus readOpenFile(FILE* file, std::string& out, size_t cap) {
    char buffer[65536];
    bool failed = false;
    while (cap == 0 || out.size() < cap) {
        size_t want = sizeof buffer;
        if (cap && cap - out.size() < want)
            want = cap - out.size();
        size_t got = fread(buffer, 1, want, file);
        out.append(buffer, got);
        if (got < want) {
            failed = ferror(file) != 0;
            break;
        }
    }
    fclose(file);
    return failed ? ReadStatus::Failed : ReadStatus::Ok;
}

}  // namespace corvane
