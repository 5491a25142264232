#pragma once
// Between the document's Windows-1252 texts (model/text_codec.h) and the
// QStrings the controls show, and the guard that keeps the text fields to
// what a document can store, so a save never changes what the user typed.

#include <QString>
#include <string>

class QLineEdit;
class QPlainTextEdit;

namespace halvorn {

// Every byte maps to one character, so decoding never fails. Line breaks are
// shown as '\n' whatever their stored form (CR LF, CR or LF).
QString fromDocumentText(const std::string& bytes);

// The bytes of `text`; a character the document cannot store becomes '?'
// (the text fields never hold one: see keepDocumentText).
std::string toDocumentText(const QString& text);

// The characters of `text` a document cannot store, each once, in order.
QString unstorableCharacters(const QString& text);

// What the user is told when a field refuses characters.
QString refusedCharactersMessage(const QString& characters);

// Keeps the field to characters a document can store: typed or pasted
// characters it cannot store are refused, and a tooltip at the field says
// which and why.
void keepDocumentText(QLineEdit* edit);
void keepDocumentText(QPlainTextEdit* edit);

}  // namespace halvorn
