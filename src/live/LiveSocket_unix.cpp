#include "LiveSocket.h"

#include <linux/sockios.h>
#include <sys/ioctl.h>

qint64 KernelUnsentBytes(qintptr descriptor) {
    int unsent = 0;
    if (descriptor < 0 || ::ioctl(int(descriptor), SIOCOUTQ, &unsent) != 0) return 0;
    return unsent;
}
