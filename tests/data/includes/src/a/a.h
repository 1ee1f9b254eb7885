#pragma once
#include "c/c.h"
