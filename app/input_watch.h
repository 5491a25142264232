#pragma once
// Calls a function once after each burst of user input (keys, mouse
// buttons, the wheel), when the widgets have acted on it. The title's
// modified mark follows the user's edits this way, without every field of
// every page reporting its changes.

#include <QObject>
#include <functional>

namespace halvorn {

class InputWatch final : public QObject {
  public:
    // Watches the whole application for as long as the watch lives.
    explicit InputWatch(std::function<void()> afterInput);
    ~InputWatch() override;
    InputWatch(const InputWatch&) = delete;
    InputWatch& operator=(const InputWatch&) = delete;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::function<void()> afterInput_;
    bool pending_ = false;
};

}  // namespace halvorn
