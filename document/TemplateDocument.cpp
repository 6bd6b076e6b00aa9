#include "document/TemplateDocument.h"

namespace kep {

TemplateDocument::TemplateDocument(DocumentWindow& window) : Window(window) {}

} // namespace kep
