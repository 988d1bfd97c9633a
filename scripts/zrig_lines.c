/* Control lines for the rig's virtual cables (see zrig.py, "Control lines").
 *
 * A pty has no modem lines: the kernel refuses TIOCMGET, TIOCMBIS, TIOCMBIC
 * and TIOCMSET on it, and Wine's serial code then fails GetCommModemStatus,
 * EscapeCommFunction and WaitCommEvent.  Preloaded into the programs the rig
 * runs under Wine, this library answers those four requests for the ptys the
 * rig registered in its line table (the file named by $ZRIG_LINES), wired as
 * the table says; every other descriptor and request goes to the real ioctl.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

/* Layout shared with zrig.py (LineTable). */
#define ZRIG_MAGIC "ZRIGLIN1"
#define ZRIG_ENDS 64

struct zrig_end {
    uint64_t rdev; /* st_rdev of this end's pty; 0 for a free slot */
    uint32_t peer; /* slot of the end across the cable; itself for a loopback plug */
    uint32_t out;  /* TIOCM_DTR and TIOCM_RTS as this end drives them */
    uint32_t ring; /* TIOCM_RI while the test rings this end */
    uint32_t pad;
};

struct zrig_table {
    char magic[8];
    struct zrig_end ends[ZRIG_ENDS];
};

#define OUT_LINES (TIOCM_DTR | TIOCM_RTS)

typedef int (*ioctl_fn)(int, unsigned long, ...);

static ioctl_fn real_ioctl;
/* Debian's i386 Wine is built with a 64-bit time_t: its calls reach glibc
 * as __ioctl_time64, which is answered the same way. */
static ioctl_fn real_ioctl_time64;
static struct zrig_table *table;
static pthread_once_t once = PTHREAD_ONCE_INIT;

static void map_table(void)
{
    real_ioctl = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
    real_ioctl_time64 = (ioctl_fn)dlsym(RTLD_NEXT, "__ioctl_time64");
    const char *path = getenv("ZRIG_LINES");
    if (!path || !*path)
        return;
    int fd = open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return;
    void *map = mmap(NULL, sizeof(struct zrig_table), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (map != MAP_FAILED && memcmp(((struct zrig_table *)map)->magic, ZRIG_MAGIC, 8) == 0)
        table = map;
}

static int is_line_request(unsigned long request)
{
    return request == TIOCMGET || request == TIOCMBIS || request == TIOCMBIC || request == TIOCMSET;
}

/* Unix98 ptys have the majors 136 to 143; anything else is never looked up. */
static struct zrig_end *rig_end(int fd)
{
    struct stat st;
    if (!table || fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return NULL;
    if (major(st.st_rdev) < 136 || major(st.st_rdev) > 143)
        return NULL;
    for (int i = 0; i < ZRIG_ENDS; ++i) {
        if (__atomic_load_n(&table->ends[i].rdev, __ATOMIC_ACQUIRE) == (uint64_t)st.st_rdev)
            return &table->ends[i];
    }
    return NULL;
}

/* What an end sees: its own outputs as driven, the far end's DTR as DSR and
 * DCD, its RTS as CTS, and the ring the test gives. */
static int lines_seen(const struct zrig_end *end)
{
    uint32_t peer = end->peer < ZRIG_ENDS ? end->peer : 0;
    uint32_t far_out = __atomic_load_n(&table->ends[peer].out, __ATOMIC_ACQUIRE);
    int bits = (int)(__atomic_load_n(&end->out, __ATOMIC_ACQUIRE) & OUT_LINES);
    if (far_out & TIOCM_DTR)
        bits |= TIOCM_DSR | TIOCM_CAR;
    if (far_out & TIOCM_RTS)
        bits |= TIOCM_CTS;
    if (__atomic_load_n(&end->ring, __ATOMIC_ACQUIRE))
        bits |= TIOCM_RI;
    return bits;
}

static int answer(struct zrig_end *end, unsigned long request, int *arg)
{
    if (!arg) {
        errno = EFAULT;
        return -1;
    }
    uint32_t bits = (uint32_t)*arg & OUT_LINES;
    switch (request) {
    case TIOCMGET:
        *arg = lines_seen(end);
        break;
    case TIOCMBIS:
        __atomic_fetch_or(&end->out, bits, __ATOMIC_ACQ_REL);
        break;
    case TIOCMBIC:
        __atomic_fetch_and(&end->out, ~bits, __ATOMIC_ACQ_REL);
        break;
    default:
        __atomic_store_n(&end->out, bits, __ATOMIC_RELEASE);
        break;
    }
    return 0;
}

static int rig_ioctl(ioctl_fn *real, int fd, unsigned long request, void *arg)
{
    pthread_once(&once, map_table);
    if (is_line_request(request)) {
        struct zrig_end *end = rig_end(fd);
        if (end)
            return answer(end, request, arg);
    }
    if (!*real) {
        errno = ENOSYS;
        return -1;
    }
    return (*real)(fd, request, arg);
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    return rig_ioctl(&real_ioctl, fd, request, arg);
}

int __ioctl_time64(int fd, unsigned long request, ...);
int __ioctl_time64(int fd, unsigned long request, ...)
{
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    return rig_ioctl(&real_ioctl_time64, fd, request, arg);
}
