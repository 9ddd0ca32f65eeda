#include "util/files.h"

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

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

std::size_t writeAll(int fd, const void* data, std::size_t size) {
    const char* from = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < size) {
        ssize_t wrote = ::write(fd, from + done, size - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) break;
        done += static_cast<std::size_t>(wrote);
    }
    return done;
}
