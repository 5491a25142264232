#pragma once
// The result of a fallible core operation: a value, or the error that says
// what went wrong. Shaped like C++23's std::expected (a subset), which the
// toolchains the project supports do not all have yet. Callers must look at
// it: the core reports what happened, the pages and the command-line tool
// turn it into the user's message.

#include <type_traits>
#include <utility>
#include <variant>

namespace halvorn {

template <typename E>
struct Unexpected {
    E error;
};

template <typename E>
Unexpected<std::decay_t<E>> unexpected(E&& error) {
    return {std::forward<E>(error)};
}

template <typename T, typename E>
class [[nodiscard]] Expected {
  public:
    Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    template <typename G>
    Expected(Unexpected<G> failure) : state_(std::in_place_index<1>, std::move(failure.error)) {}

    bool has_value() const { return state_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const E& error() const { return std::get<1>(state_); }

  private:
    std::variant<T, E> state_;
};

template <typename E>
class [[nodiscard]] Expected<void, E> {
  public:
    Expected() = default;
    template <typename G>
    Expected(Unexpected<G> failure) : failed_(true), error_(std::move(failure.error)) {}

    bool has_value() const { return !failed_; }
    explicit operator bool() const { return has_value(); }
    const E& error() const { return error_; }

  private:
    bool failed_ = false;
    E error_{};
};

}  // namespace halvorn
