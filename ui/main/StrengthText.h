// How the password dialogs put a strength into words.
#pragma once

#include "PasswordHealth.h"

#include <string>

// The band and the entropy to a tenth of a bit: "Excellent, 118.9 bits". Never locale-dependent.
std::string StrengthText(const PasswordRating& rating);
