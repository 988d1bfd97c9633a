/* Control lines for the rig's virtual cables (see zrig.py, "Control lines").
 *
 * A pty has no modem lines: the kernel refuses TIOCMGET, TIOCMBIS, TIOCMBIC
 * and TIOCMSET on it, and Wine's serial code then fails GetCommModemStatus,
 * EscapeCommFunction and WaitCommEvent.  Preloaded into the programs the rig
 * runs under Wine, this library answers those four requests for the ptys the
 * rig registered in its line table (the file named by $ZRIG_LINES), wired as
 * the table says; every other descriptor and request goes to the real ioctl.
 *
 * The same ptys also get line errors and breaks: TIOCGICOUNT answers the
 * framing, parity, overrun, break and buffer-overrun counts that a test put
 * in the end's slot, and a break sent on one end (TIOCSBRK/TIOCCBRK, or
 * TCSBRK as tcsendbreak gives it) counts as a break received at the far end,
 * with its count and length recorded at the sending end.
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
#include <linux/serial.h>
#include <time.h>
#include <unistd.h>

/* Layout shared with zrig.py (LineTable). */
#define ZRIG_MAGIC "ZRIGLIN2"
#define ZRIG_ENDS 64

struct zrig_end {
    uint64_t rdev; /* st_rdev of this end's pty; 0 for a free slot */
    uint32_t peer; /* slot of the end across the cable; itself for a loopback plug */
    uint32_t out;  /* TIOCM_DTR and TIOCM_RTS as this end drives them */
    uint32_t ring; /* TIOCM_RI while the test rings this end */
    uint32_t fail; /* an errno for TIOCMGET while the test breaks line reads; 0 otherwise */
    /* TIOCGICOUNT of this end: what the test injects, breaks from the far end */
    uint32_t frame;
    uint32_t parity;
    uint32_t overrun;
    uint32_t brk;
    uint32_t buf_overrun;
    /* Breaks this end sent */
    uint32_t break_on;      /* 1 between TIOCSBRK and TIOCCBRK */
    uint32_t breaks_sent;
    uint32_t last_break_ms; /* length of the last one ended */
    uint32_t break_start_ms;
    uint32_t pad2;
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

/* TCSBRK with an argument other than 0 is tcdrain: the driver's. */
static int is_error_request(unsigned long request, void *arg)
{
    return request == TIOCGICOUNT || request == TIOCSBRK || request == TIOCCBRK ||
           ((request == TCSBRK || request == TCSBRKP) && arg == NULL);
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
    case TIOCMGET: {
        int fail = (int)__atomic_load_n(&end->fail, __ATOMIC_ACQUIRE);
        if (fail) {
            errno = fail;
            return -1;
        }
        *arg = lines_seen(end);
        break;
    }
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

static uint32_t now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

static uint32_t load(const uint32_t *p)
{
    return __atomic_load_n(p, __ATOMIC_ACQUIRE);
}

static void break_seen_across(struct zrig_end *end)
{
    uint32_t peer = end->peer < ZRIG_ENDS ? end->peer : 0;
    __atomic_fetch_add(&table->ends[peer].brk, 1, __ATOMIC_ACQ_REL);
}

static void break_ended(struct zrig_end *end, uint32_t ms)
{
    __atomic_store_n(&end->last_break_ms, ms, __ATOMIC_RELEASE);
    __atomic_fetch_add(&end->breaks_sent, 1, __ATOMIC_ACQ_REL);
}

/* TCSBRK with 0 is tcsendbreak's 0.25 s break. */
static int answer_errors(struct zrig_end *end, unsigned long request, void *arg)
{
    switch (request) {
    case TIOCGICOUNT: {
        struct serial_icounter_struct *ic = arg;
        if (!ic) {
            errno = EFAULT;
            return -1;
        }
        memset(ic, 0, sizeof *ic);
        ic->frame = (int)load(&end->frame);
        ic->parity = (int)load(&end->parity);
        ic->overrun = (int)load(&end->overrun);
        ic->brk = (int)load(&end->brk);
        ic->buf_overrun = (int)load(&end->buf_overrun);
        return 0;
    }
    case TIOCSBRK:
        if (!__atomic_exchange_n(&end->break_on, 1, __ATOMIC_ACQ_REL)) {
            __atomic_store_n(&end->break_start_ms, now_ms(), __ATOMIC_RELEASE);
            break_seen_across(end);
        }
        return 0;
    case TIOCCBRK:
        if (__atomic_exchange_n(&end->break_on, 0, __ATOMIC_ACQ_REL))
            break_ended(end, now_ms() - load(&end->break_start_ms));
        return 0;
    default:
        break_seen_across(end);
        break_ended(end, 250);
        return 0;
    }
}

static int rig_ioctl(ioctl_fn *real, int fd, unsigned long request, void *arg)
{
    pthread_once(&once, map_table);
    if (is_line_request(request)) {
        struct zrig_end *end = rig_end(fd);
        if (end)
            return answer(end, request, arg);
    }
    if (is_error_request(request, arg)) {
        struct zrig_end *end = rig_end(fd);
        if (end)
            return answer_errors(end, request, arg);
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
