#include "model/textframe.h"

namespace tf {

int userFileFromMask(quint8 mask) {
    for (int k = 1; k <= 8; ++k)
        if (mask == (1 << (k - 1)))
            return k;
    return 0;
}

} // namespace tf
