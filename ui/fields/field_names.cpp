#include "ui/fields/field_names.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

namespace halvorn {
namespace {

constexpr const char* kReversedProperty = "halvornSpeakReversed";

// A drop-down list as every other field: its name is the one it was given
// (or its caption's), its value the entry it shows, which it also offers
// as its (read-only) text, where a screen reader reads what a control
// shows. Its children, the popup's list and an editable list's edit, are
// Qt's.
class AccessibleComboBox final : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    explicit AccessibleComboBox(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) return shown();
        const QString text = QAccessibleWidget::text(kind);
        // A list nobody named (in a dialog of Qt's own) keeps Qt's name.
        return kind == QAccessible::Name && text.isEmpty() ? shown() : text;
    }

    // The text is the entry shown; nothing in it can be selected or edited.
    QString text(int start, int end) const override { return shown().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(shown().size()); }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return {};
    }

    int childCount() const override { return comboBox()->isEditable() ? 2 : 1; }

    QAccessibleInterface* child(int index) const override {
        if (index == 0) return QAccessible::queryAccessibleInterface(comboBox()->view());
        if (index == 1 && comboBox()->isEditable())
            return QAccessible::queryAccessibleInterface(comboBox()->lineEdit());
        return nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override {
        if (child->object() == comboBox()->view()) return 0;
        if (comboBox()->isEditable() && child->object() == comboBox()->lineEdit()) return 1;
        return -1;
    }

    // Qt's own (taking the focus) and opening or closing the popup.
    QStringList actionNames() const override {
        return QAccessibleWidget::actionNames() << showMenuAction() << pressAction();
    }

    void doAction(const QString& action) override {
        if (action != showMenuAction() && action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        if (comboBox()->view()->isVisible())
            comboBox()->hidePopup();
        else
            comboBox()->showPopup();
    }

    QStringList keyBindingsForAction(const QString&) const override { return {}; }

  private:
    QComboBox* comboBox() const { return static_cast<QComboBox*>(widget()); }
    QString shown() const {
        return comboBox()->isEditable() ? comboBox()->lineEdit()->text()
                                        : comboBox()->currentText();
    }
};

// Every slider: its value, and a reversed one's (speakReversed) counted
// from the other end. The property is read at each call: Qt makes a
// slider's interface as soon as the slider first moves, which may be
// before the page marks it.
class AccessibleSlider final : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit AccessibleSlider(QSlider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Value) return QString::number(spoken(slider()->value()));
        return QAccessibleWidget::text(kind);
    }

    QVariant currentValue() const override { return spoken(slider()->value()); }
    void setCurrentValue(const QVariant& value) override {
        slider()->setValue(spoken(value.toInt()));
    }
    QVariant maximumValue() const override { return slider()->maximum(); }
    QVariant minimumValue() const override { return slider()->minimum(); }
    QVariant minimumStepSize() const override { return slider()->singleStep(); }

  private:
    QSlider* slider() const { return static_cast<QSlider*>(widget()); }
    // The same mapping both ways.
    int spoken(int value) const {
        if (!slider()->property(kReversedProperty).toBool()) return value;
        return slider()->maximum() - value + slider()->minimum();
    }
};

}  // namespace

QString captionName(const QString& caption) {
    QString name = caption;
    name.remove(QLatin1Char('&'));
    name = name.trimmed();
    while (name.endsWith(QLatin1Char(':')) || name.endsWith(QLatin1Char('#')))
        name = name.chopped(1).trimmed();
    return name;
}

void labelField(QLabel* caption, QWidget* field) {
    caption->setBuddy(field);
    nameField(field, captionName(caption->text()));
}

void nameField(QWidget* field, const QString& name) {
    field->setAccessibleName(name);
}

void speakReversed(QSlider* slider) {
    slider->setProperty(kReversedProperty, true);
}

QAccessibleInterface* accessibleField(QObject* object) {
    if (auto* box = qobject_cast<QComboBox*>(object)) return new AccessibleComboBox(box);
    if (auto* slider = qobject_cast<QSlider*>(object)) return new AccessibleSlider(slider);
    return nullptr;
}

}  // namespace halvorn
