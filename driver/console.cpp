#include "U/Console.h"

#include <iostream>

std::ostream& vout() { return std::cout; }
