#pragma once

// The error type lives with the text helpers, beneath every layer that throws it.
#include "text/RunError.h"
