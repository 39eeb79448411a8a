// Addition, subtraction, multiplication and division of Numbers.
#include "number.h"
