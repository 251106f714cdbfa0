#pragma once

#include "common/Error.h"

#include <cassert>
#include <utility>
#include <variant>

// A value or the `Error` that stopped it: what configure(), open() and the
// parsers return. The member names are those of C++23's std::expected, which
// this stands in for until the compilers we build with all have it, so that
// the switch is a type alias.
template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool has_value() const { return state_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() & { assert(has_value()); return std::get<0>(state_); }
    const T& value() const& { assert(has_value()); return std::get<0>(state_); }
    T&& value() && { assert(has_value()); return std::get<0>(std::move(state_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    template <class U>
    T value_or(U&& fallback) const& { return has_value() ? value() : static_cast<T>(std::forward<U>(fallback)); }

    const Error& error() const { assert(!has_value()); return std::get<1>(state_); }

private:
    std::variant<T, Error> state_;
};

// Success, or the `Error` that prevented it.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)), failed_(true) {}

    bool has_value() const { return !failed_; }
    explicit operator bool() const { return has_value(); }
    const Error& error() const { assert(failed_); return error_; }

private:
    Error error_{ErrorKind::InvalidArgument, {}};
    bool failed_ = false;
};

using Status = Result<void>;
