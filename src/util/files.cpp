#include "util/files.h"

#include <sys/stat.h>

bool sameFile(const char* first, const char* second) {
    if (!first || !second) return false;
    struct stat a, b;
    if (::stat(first, &a) != 0 || ::stat(second, &b) != 0) return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::FILE* openForReading(const char* path, const char* mode) {
    if (!path) return nullptr;
    std::FILE* file = std::fopen(path, mode);
    if (!file) return nullptr;
    struct stat st;
    if (::fstat(fileno(file), &st) != 0 || S_ISDIR(st.st_mode)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

bool regularFileSize(std::FILE* file, std::size_t& size) {
    struct stat st;
    if (!file || ::fstat(fileno(file), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return false;
    size = static_cast<std::size_t>(st.st_size);
    return true;
}
