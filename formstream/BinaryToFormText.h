#pragma once
#include "formstream/Stream.h"

namespace kep {

// Converts the component stream at input's position into its text form,
// appended at output's position.
void BinaryToFormText(TStream& input, TStream& output);

} // namespace kep
