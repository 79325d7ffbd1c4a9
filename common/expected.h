#pragma once
// The one way the tool's functions tell what went wrong: a function that can
// fail returns an Expected — its value, or the error that kept it from one
// (typed: an enum, or a struct with a kind and the text the user is told).
// No out-parameters, no exceptions for control flow; callers branch on the
// error's kind, never on its text.
//
//   Expected<QByteArray, FileError> readIt(...);
//   if (const auto bytes = readIt(...)) use(*bytes); else show(bytes.error());
//   return unexpected(FileError{...});
#include <optional>
#include <utility>
#include <variant>

namespace limra {

template <typename E>
struct Unexpected {
    E error;
};

template <typename E>
Unexpected<std::decay_t<E>> unexpected(E &&error)
{
    return {std::forward<E>(error)};
}

template <typename T, typename E>
class [[nodiscard]] Expected {
public:
    Expected(const T &value) : m_state(std::in_place_index<0>, value) {}
    Expected(T &&value) : m_state(std::in_place_index<0>, std::move(value)) {}
    template <typename F>
    Expected(Unexpected<F> failure) : m_state(std::in_place_index<1>, std::move(failure.error))
    {
    }

    bool has_value() const { return m_state.index() == 0; }
    explicit operator bool() const { return has_value(); }

    const T &value() const & { return std::get<0>(m_state); }
    T &value() & { return std::get<0>(m_state); }
    T &&value() && { return std::get<0>(std::move(m_state)); }
    const T &operator*() const & { return value(); }
    T &operator*() & { return value(); }
    T &&operator*() && { return std::move(*this).value(); }
    const T *operator->() const { return &value(); }
    T *operator->() { return &value(); }
    T value_or(T other) const { return has_value() ? value() : std::move(other); }

    const E &error() const { return std::get<1>(m_state); }

private:
    std::variant<T, E> m_state;
};

// Success with nothing to give, or the error.
template <typename E>
class [[nodiscard]] Expected<void, E> {
public:
    Expected() = default;
    template <typename F>
    Expected(Unexpected<F> failure) : m_error(std::move(failure.error))
    {
    }

    bool has_value() const { return !m_error.has_value(); }
    explicit operator bool() const { return has_value(); }
    const E &error() const { return *m_error; }

private:
    std::optional<E> m_error;
};

} // namespace limra
