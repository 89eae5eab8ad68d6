#include "link/custombaud.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

bool CustomBaud::apply(int fd, quint32 baud)
{
    termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = baud;
    t.c_ospeed = baud;
    return ioctl(fd, TCSETS2, &t) == 0;
}

quint32 CustomBaud::read(int fd)
{
    termios2 t {};
    return ioctl(fd, TCGETS2, &t) == 0 ? t.c_ospeed : 0;
}
