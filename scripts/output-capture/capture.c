// Loaded into every process of a test run (LD_PRELOAD): before a file is deleted, it is copied
// to the capture folder, so that what the tests wrote into their temporary folders can be compared
// between two builds. Each copy is named after the test case that owns the process (found in the
// gtest filter of the process or one of its parents) and the file's path.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { kMaxCopied = 64 * 1024 * 1024 };

static void TestOf(pid_t pid, char* out, size_t size) {
    for (int depth = 0; depth < 8 && pid > 1; ++depth) {
        char path[64];
        snprintf(path, sizeof path, "/proc/%d/cmdline", (int)pid);
        int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            break;
        char buffer[8192];
        ssize_t n = read(fd, buffer, sizeof buffer - 1);
        close(fd);
        if (n > 0) {
            buffer[n] = 0;
            for (ssize_t i = 0; i < n; i += (ssize_t)strlen(buffer + i) + 1) {
                const char* key = "--gtest_filter=";
                if (strncmp(buffer + i, key, strlen(key)) == 0) {
                    snprintf(out, size, "%s", buffer + i + strlen(key));
                    return;
                }
            }
        }
        snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
        FILE* stat = fopen(path, "re");
        if (!stat)
            break;
        int parent = 0;
        if (fscanf(stat, "%*d %*s %*c %d", &parent) != 1)
            parent = 0;
        fclose(stat);
        pid = parent;
    }
    snprintf(out, size, "unknown");
}

static void Keep(int dirfd, const char* name) {
    const char* to = getenv("KELMORA_OUTPUT_CAPTURE");
    if (!to || !*to)
        return;
    char full[PATH_MAX];
    if (name[0] == '/' || dirfd == AT_FDCWD) {
        if (name[0] == '/')
            snprintf(full, sizeof full, "%s", name);
        else {
            char cwd[PATH_MAX / 2];
            if (!getcwd(cwd, sizeof cwd))
                return;
            snprintf(full, sizeof full, "%s/%s", cwd, name);
        }
    } else {
        char link[64], dir[PATH_MAX / 2];
        snprintf(link, sizeof link, "/proc/self/fd/%d", dirfd);
        ssize_t n = readlink(link, dir, sizeof dir - 1);
        if (n < 0)
            return;
        dir[n] = 0;
        snprintf(full, sizeof full, "%s/%s", dir, name);
    }
    // Neither the capture itself nor the test driver's own bookkeeping.
    if (strncmp(full, to, strlen(to)) == 0 || strstr(full, "/Testing/Temporary/"))
        return;
    struct stat info;
    if (lstat(full, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxCopied)
        return;
    int source = open(full, O_RDONLY | O_CLOEXEC);
    if (source < 0)
        return;
    char test[200];
    TestOf(getpid(), test, sizeof test);
    // A file name holds 255 bytes: the path's end names the file well enough.
    const size_t length = strlen(full);
    const char* tail = length > 200 ? full + length - 200 : full;
    char flat[256];
    size_t j = 0;
    for (const char* c = tail; *c && j + 1 < sizeof flat; ++c)
        flat[j++] = *c == '/' ? '%' : *c;
    flat[j] = 0;
    char folder[PATH_MAX / 2], target[PATH_MAX];
    snprintf(folder, sizeof folder, "%s/%s", to, test);
    mkdir(folder, 0700);
    int out = -1;
    for (int copy = 0; copy < 1000 && out < 0; ++copy) {
        snprintf(target, sizeof target, "%s/%s#%d", folder, flat, copy);
        out = open(target, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (out < 0 && errno != EEXIST)
            break;
    }
    if (out >= 0) {
        char buffer[65536];
        ssize_t n;
        while ((n = read(source, buffer, sizeof buffer)) > 0)
            if (write(out, buffer, (size_t)n) != n)
                break;
        close(out);
    }
    close(source);
}

int unlink(const char* name) {
    static int (*real)(const char*);
    if (!real)
        real = (int (*)(const char*))dlsym(RTLD_NEXT, "unlink");
    int saved = errno;
    Keep(AT_FDCWD, name);
    errno = saved;
    return real(name);
}

int unlinkat(int dirfd, const char* name, int flags) {
    static int (*real)(int, const char*, int);
    if (!real)
        real = (int (*)(int, const char*, int))dlsym(RTLD_NEXT, "unlinkat");
    int saved = errno;
    if (!(flags & AT_REMOVEDIR))
        Keep(dirfd, name);
    errno = saved;
    return real(dirfd, name, flags);
}

int remove(const char* name) {
    static int (*real)(const char*);
    if (!real)
        real = (int (*)(const char*))dlsym(RTLD_NEXT, "remove");
    int saved = errno;
    Keep(AT_FDCWD, name);
    errno = saved;
    return real(name);
}
