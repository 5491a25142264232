#include "ui/fields/page_widgets.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QSlider>

#include "ui/fields/field_names.h"

namespace halvorn {

QLabel* caption(const QString& text, QWidget* parent) {
    return new QLabel(text, parent);
}

QLabel* centredCaption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

QLabel* caption(const QString& text, QWidget* parent, QWidget* field) {
    QLabel* label = caption(text, parent);
    labelField(label, field);
    return label;
}

QLabel* centredCaption(const QString& text, QWidget* parent, QWidget* field) {
    QLabel* label = centredCaption(text, parent);
    labelField(label, field);
    return label;
}

QLineEdit* makeNumberEdit(QWidget* parent, int digits) {
    auto* edit = new QLineEdit(parent);
    fitToDigits(edit, digits);
    return edit;
}

void fitToDigits(QLineEdit* edit, int digits) {
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QString(digits + 1, '0')) + 16);
}

namespace {

// The style draws a disabled slider's handle as an enabled one's; fading the
// whole slider shows that it does not move.
class SliderFade final : public QObject {
  public:
    using QObject::QObject;

    static void apply(QSlider* slider) {
        if (slider->isEnabled()) {
            slider->setGraphicsEffect(nullptr);
            return;
        }
        auto* fade = new QGraphicsOpacityEffect(slider);
        fade->setOpacity(0.4);
        slider->setGraphicsEffect(fade);  // the slider takes it
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange) {
            if (auto* slider = qobject_cast<QSlider*>(watched)) apply(slider);
        }
        return false;
    }
};

}  // namespace

void greyDisabledControls(QWidget* root) {
    auto* fade = new SliderFade(root);
    for (QSlider* slider : root->findChildren<QSlider*>()) {
        slider->installEventFilter(fade);
        SliderFade::apply(slider);
    }
    QPalette palette = root->palette();
    const QColor window = palette.color(QPalette::Active, QPalette::Window);
    palette.setColor(QPalette::Disabled, QPalette::Button, window.darker(112));
    palette.setColor(QPalette::Disabled, QPalette::Highlight, window.darker(140));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, window.darker(160));
    root->setPalette(palette);
}

QWidget* lastTabStopIn(QWidget* container) {
    QWidget* last = nullptr;
    for (QWidget* next = container->nextInFocusChain(); container->isAncestorOf(next);
         next = next->nextInFocusChain()) {
        if (next->focusPolicy() & Qt::TabFocus) last = next;
    }
    return last;
}

QHBoxLayout* withUnit(QWidget* field, const QString& unit, QWidget* parent) {
    auto* row = new QHBoxLayout;
    row->addWidget(field);
    row->addWidget(caption(unit, parent));
    row->addStretch();
    return row;
}

}  // namespace halvorn
