// replacefile.cpp: writing a file so that a failure never costs the old one:
// the new contents go to a temporary file in the same folder, which is synced
// and then renamed over the target in one step. The circuit file, the
// settings file and the screen capture are written this way.
// Depends on POSIX file calls. A symbolic link is kept: the file it names is
// replaced. The new file takes the old one's permissions. A target that is
// no regular file (a folder, a device, a pipe) is refused, never renamed over.
#include "circuit/circuit.h"
#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

// mode for the new file: the old file's, else what a plain create would give
static mode_t newfilemode(const char *dst)
{
    struct stat st;
    if (stat(dst, &st) == 0) return st.st_mode & 07777;
    mode_t um = umask(0);
    umask(um);
    return 0666 & ~um;
}

static int32_t notregular;  // 1: the last replacefile refused a target that is no regular file

// writes dst.XXXXXX and renames it over dst; errno tells why when 0
static int32_t writerename(const char *dst, int32_t (*write)(FILE *f, void *ctx), void *ctx)
{
    struct stat st;
    notregular = 0;
    if (stat(dst, &st) == 0 && !S_ISREG(st.st_mode)) {
        notregular = !S_ISDIR(st.st_mode);
        errno = notregular ? ENOTSUP : EISDIR;
        return 0;
    }
    if (access(dst, F_OK) == 0 && access(dst, W_OK) != 0) return 0;  // a read-only target stays
    size_t n = strlen(dst);
    char *tmp = (char *)growmem(0, n + 8);
    memcpy(tmp, dst, n);
    memcpy(tmp + n, ".XXXXXX", 8);
    int fd = mkstemp(tmp);
    if (fd < 0) {
        free(tmp);
        return 0;
    }
    fchmod(fd, newfilemode(dst));
    FILE *f = fdopen(fd, "wb");
    int32_t ok = f != 0;
    if (!f) close(fd);
    if (f) {
        ok = write(f, ctx) && fflush(f) == 0 && !ferror(f) && fsync(fileno(f)) == 0;
        if (ok && ferror(f)) ok = 0;
        int e = errno;
        if (fclose(f) != 0) ok = 0;
        else errno = e;
    }
    if (ok && rename(tmp, dst) != 0) ok = 0;
    if (!ok) {
        int e = errno;
        unlink(tmp);
        errno = e;
    }
    free(tmp);
    return ok;
}

int32_t replacefile(const char *path, int32_t (*write)(FILE *f, void *ctx), void *ctx)
{
    if (!path || !path[0]) {
        errno = ENOENT;
        return 0;
    }
    char real[PATH_MAX];
    const char *dst = path;
    struct stat st;
    if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode) && realpath(path, real)) dst = real;
    return writerename(dst, write, ctx);
}

const char *replacefilewhy(int e) { return notregular && e == ENOTSUP ? "not a regular file" : strerror(e); }
