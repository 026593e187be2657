// A success value or the reason for a failure, returned across module boundaries
// instead of exceptions.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace kirvano {

struct Error {
    std::string message;
};

template <class T> class Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(Error error) : state_(std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<0>(state_); }
    const T& value() const { return std::get<0>(state_); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const std::string& error() const { return std::get<1>(state_).message; }

private:
    std::variant<T, Error> state_;
};

// For operations that return nothing but may fail.
struct Done {};
using Status = Result<Done>;
inline Status Success() {
    return Done{};
}
inline Error Failure(std::string message) {
    return Error{std::move(message)};
}

} // namespace kirvano
