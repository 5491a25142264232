#pragma once
// Conversion between the document's 8-bit Windows-1252 texts and the QStrings
// the controls show. Characters that Windows-1252 cannot store become '?'.

#include <QString>
#include <string>

namespace halvorn {

// Every byte maps to one character, so decoding never fails. Line breaks are
// shown as '\n' whatever their stored form (CR LF, CR or LF).
QString fromDocumentText(const std::string& bytes);

std::string toDocumentText(const QString& text);

}  // namespace halvorn
