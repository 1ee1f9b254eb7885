#include "b/b.h"
