#include "ccc.h"

CccRecord gstCcc;
