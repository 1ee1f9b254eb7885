#include "a/a.h"
#include "b/b.h"
#include "c/c.h"
#include <QString>
