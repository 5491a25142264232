#pragma once
// A parameter panel of the Microsequences page: the fields of one fractal
// type's parameter block. The page keeps one remembered block per type; a
// panel loads from its type's block (or its defaults), and what it stores
// becomes both the saved record's block and the remembered one.

#include <QList>
#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>

#include "fractal/parameters.h"
#include "model/random.h"
#include "ui/session/prompts.h"

namespace halvorn {

// One entry per fractal type, 0..3; none until a block is seen or stored.
using RememberedParameters = std::array<std::optional<ParameterBytes>, 4>;

class CMicroPanel : public QWidget {
    Q_OBJECT
  public:
    CMicroPanel(RememberedParameters& remembered, Prompts& prompts, QWidget* parent)
        : QWidget(parent), remembered_(remembered), prompts_(prompts) {}

    virtual std::int32_t fractalType() const = 0;

    // Fields from the remembered block of the panel's type, or the defaults.
    virtual void load() = 0;
    // Validates the fields in their order; the first that fails shows its
    // message, takes the focus and makes this false.
    virtual bool read() = 0;
    // After a successful read: the new block (none for a type without
    // parameters), which is also remembered for the type.
    virtual std::optional<ParameterBytes> store() = 0;
    // Random values from `draws` into the fields; nothing is stored.
    virtual void randomize(RandomDraws& draws) = 0;
    // The block the fields would store now, without any message; none when
    // a field does not read.
    virtual std::optional<ParameterBytes> preview() const = 0;
    // The panel's fields, in order, where its whole state is in them (none
    // for a panel whose state is drawn on a picture: its preview() holds
    // it).
    virtual QList<QWidget*> fields() const { return {}; }

  signals:
    // A field changed: what preview() gives may have changed.
    void fieldsChanged();

  protected:
    // Where the panel's messages go.
    Prompts& prompts() const { return prompts_; }
    std::optional<ParameterBytes>& remembered() {
        return remembered_[static_cast<std::size_t>(fractalType())];
    }
    const std::optional<ParameterBytes>& remembered() const {
        return remembered_[static_cast<std::size_t>(fractalType())];
    }
    // Stores `bytes` as the remembered block and returns them.
    std::optional<ParameterBytes> remember(ParameterBytes bytes) {
        remembered() = bytes;
        return bytes;
    }

  private:
    RememberedParameters& remembered_;
    Prompts& prompts_;
};

}  // namespace halvorn
