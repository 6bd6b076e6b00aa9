#include "document/TemplateDocument.h"

namespace kep {

TemplateDocument::TemplateDocument(DocumentWindow& window) : Window(window) {
    State.PrimaryBuffer = std::make_unique<TMemoryStream>();
    State.MemberBuffer = std::make_unique<TMemoryStream>();
}

} // namespace kep
