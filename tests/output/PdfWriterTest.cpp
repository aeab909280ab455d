#include "RLPdfWriter.h"

#include <gtest/gtest.h>
