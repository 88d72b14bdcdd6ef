#include "link/frame.h"
