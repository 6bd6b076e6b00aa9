#pragma once
#include "formstream/Stream.h"

namespace kep {

// Converts the text form at input's position into a component stream,
// appended at output's position.
void FormTextToBinary(TStream& input, TStream& output);

} // namespace kep
