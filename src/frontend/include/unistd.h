/* unistd.h of the c2cdfg front end: the few POSIX calls test benches use. */
#ifndef _TAVIK_UNISTD_H
#define _TAVIK_UNISTD_H
#include <stddef.h>
typedef long ssize_t;
typedef int pid_t;
typedef long off_t;
#define STDIN_FILENO 0
#define STDOUT_FILENO 1
#define STDERR_FILENO 2
ssize_t read(int fd, void *buf, size_t count);
ssize_t write(int fd, const void *buf, size_t count);
int close(int fd);
off_t lseek(int fd, off_t offset, int whence);
unsigned int sleep(unsigned int seconds);
int usleep(unsigned int usec);
pid_t getpid(void);
int unlink(const char *path);
int access(const char *path, int mode);
#endif
