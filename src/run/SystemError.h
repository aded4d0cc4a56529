#pragma once

// The system's reasons in our words live with the text helpers, beneath the table store;
// what still includes them from here knows them under run:: as well.
#include "text/SystemError.h"

namespace run {
using text::inOurWords;
using text::systemAdvice;
using text::systemReason;
using text::systemReasonAndAdvice;
} // namespace run
