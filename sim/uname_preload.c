/* Preloaded by the sandbox into the program under test: uname() answers with
 * the release configured for the stand-in platform, since no namespace can
 * change the kernel's own release. The release is the first line of
 * $SIM_DIR/conf/release (SIM_DIR defaults to /var/sim, where the sandbox
 * keeps its configuration); without that file uname() is left untouched.
 * Every other field stays the kernel's. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/utsname.h>
#include <unistd.h>

typedef int (*uname_fn)(struct utsname *);

/* The next uname() in the lookup order (libc's), found once. */
static uname_fn real_uname(void) {
    static uname_fn real;
    uname_fn fn = __atomic_load_n(&real, __ATOMIC_ACQUIRE);
    if (fn) return fn;
    void *sym = dlsym(RTLD_NEXT, "uname");
    memcpy(&fn, &sym, sizeof fn);
    __atomic_store_n(&real, fn, __ATOMIC_RELEASE);
    return fn;
}

/* Reads the configured release into out, at most size - 1 bytes up to the
 * first line end. Returns 1 when a release is configured (it may be empty). */
static int configured_release(char *out, size_t size) {
    const char *dir = getenv("SIM_DIR");
    if (!dir || !*dir) dir = "/var/sim";
    char path[4096];
    int n = snprintf(path, sizeof path, "%s/conf/release", dir);
    if (n < 0 || (size_t)n >= sizeof path) return 0;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    ssize_t got;
    do {
        got = read(fd, out, size - 1);
    } while (got < 0 && errno == EINTR);
    close(fd);
    if (got < 0) return 0;
    out[got] = '\0';
    out[strcspn(out, "\r\n")] = '\0';
    return 1;
}

int uname(struct utsname *buf) {
    uname_fn fn = real_uname();
    if (!fn) {
        errno = ENOSYS;
        return -1;
    }
    int result = fn(buf);
    if (result != 0) return result;
    int saved = errno;
    char release[sizeof buf->release];
    if (configured_release(release, sizeof release)) memcpy(buf->release, release, sizeof release);
    errno = saved;
    return result;
}
