#include "ui/fields/document_text.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QToolTip>
#include <QValidator>

#include "model/text_codec.h"

namespace halvorn {
namespace {

bool isStorable(char32_t codePoint) {
    return windows1252Encode(codePoint).has_value();
}

void explainAt(QWidget* field, const QString& characters) {
    QToolTip::showText(field->mapToGlobal(QPoint(0, field->height())),
                       refusedCharactersMessage(characters), field);
}

// Refuses an edit that would bring in a character the document cannot store.
class DocumentTextValidator final : public QValidator {
  public:
    explicit DocumentTextValidator(QLineEdit* edit) : QValidator(edit), edit_(edit) {}

    State validate(QString& input, int&) const override {
        const QString refused = unstorableCharacters(input);
        if (refused.isEmpty()) return Acceptable;
        explainAt(edit_, refused);
        return Invalid;
    }

  private:
    QLineEdit* edit_;
};

// Removes what the document cannot store from a multi-line field, keeping
// the cursor where the user was typing.
void removeUnstorable(QPlainTextEdit* edit) {
    const QString text = edit->toPlainText();
    const QString refused = unstorableCharacters(text);
    if (refused.isEmpty()) return;
    QTextCursor cursor = edit->textCursor();
    const int position = cursor.position();
    QString kept;
    int keptBeforeCursor = 0;
    int index = 0;
    for (const char32_t codePoint : text.toUcs4()) {
        const QString character = QString::fromUcs4(&codePoint, 1);
        if (isStorable(codePoint)) {
            kept += character;
            if (index < position) keptBeforeCursor += static_cast<int>(character.size());
        }
        index += static_cast<int>(character.size());
    }
    {
        const QSignalBlocker blocker(edit);
        edit->setPlainText(kept);
    }
    cursor = edit->textCursor();
    cursor.setPosition(keptBeforeCursor);
    edit->setTextCursor(cursor);
    explainAt(edit, refused);
}

}  // namespace

QString fromDocumentText(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '\r') {
            text += QLatin1Char('\n');
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            continue;
        }
        // Every Windows-1252 character lies in the Basic Multilingual Plane.
        text += QChar(static_cast<char16_t>(windows1252Decode(byte)));
    }
    return text;
}

std::string toDocumentText(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (const char32_t codePoint : text.toUcs4())
        bytes += static_cast<char>(windows1252Encode(codePoint).value_or('?'));
    return bytes;
}

QString unstorableCharacters(const QString& text) {
    QString refused;
    for (const char32_t codePoint : text.toUcs4()) {
        const QString character = QString::fromUcs4(&codePoint, 1);
        if (!isStorable(codePoint) && !refused.contains(character)) refused += character;
    }
    return refused;
}

QString refusedCharactersMessage(const QString& characters) {
    return QStringLiteral(
               "%1: a Halvorn document stores only Western European (Windows-1252) "
               "characters.")
        .arg(characters);
}

void keepDocumentText(QLineEdit* edit) {
    edit->setValidator(new DocumentTextValidator(edit));
}

void keepDocumentText(QPlainTextEdit* edit) {
    QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [edit] { removeUnstorable(edit); });
}

}  // namespace halvorn
