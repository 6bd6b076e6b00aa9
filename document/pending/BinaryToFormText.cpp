// Stand-in until the binary-to-text conversion is merged.
#include "formstream/BinaryToFormText.h"
#include "formstream/Exceptions.h"

namespace kep {

void BinaryToFormText(TStream&, TStream&) { throw EReadError("Binary-to-text conversion not available"); }

} // namespace kep
