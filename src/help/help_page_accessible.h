#pragma once

class QTextBrowser;

namespace quillfen {

// Exposes a help page to assistive technology as a document with a caret, not as the one static
// label Qt makes of a read-only text: a screen reader then walks it line by line.
void exposeAsDocument(QTextBrowser* page);

} // namespace quillfen
