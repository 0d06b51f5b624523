/* Lets hidapi's hid_open_path take a FIFO for a hidraw node, so that the
 * real hidapi code reads and writes open handles with no device attached:
 * what is written through one handle of the FIFO is read through another.
 * hid_open_path accepts a node that answers HIDIOCGRDESCSIZE; this program's
 * ioctl answers it for FIFOs and passes every other request on. Defined in
 * the program, it comes first in the global symbol lookup, so hidapi's calls
 * reach it too. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <linux/hidraw.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

typedef int (*IoctlFunction)(int, unsigned long, ...);

__attribute__((visibility("default"))) int ioctl(int fd, unsigned long request, ...)
{
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);

    struct stat status;
    if (request == HIDIOCGRDESCSIZE && fstat(fd, &status) == 0 && S_ISFIFO(status.st_mode)) {
        *(int *)argument = 0;
        return 0;
    }
    /* Looked up on each call: no state shared between threads. */
    const IoctlFunction next = (IoctlFunction)dlsym(RTLD_NEXT, "ioctl");
    return next(fd, request, argument);
}
