#include "RLFontSubset.h"

#include <gtest/gtest.h>
