#include "RLPdfWriter.h"
