// The host's exception classes. The engine defines no error types of its own: failures surface as
// one of these, each carrying a message a user can act on.
#pragma once

#include <stdexcept>
#include <string>

namespace sumora {

// Base of every error the library raises on purpose.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// Raised by the dataset layer: open failures, unknown tables or fields, SQL errors, unreadable values.
class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// Raised by a string list on a bad index: "List index out of bounds (N)".
class EListError : public Exception {
 public:
  using Exception::Exception;
};

// The arithmetic error: a division by a zero divisor, or a result that is not a finite number.
class EMathError : public Exception {
 public:
  using Exception::Exception;
};

// A field that holds no value at all (every record null, or no records): nothing can be summarized.
// Derived from EMathError, so code that catches arithmetic failures still catches it.
class ENoValues : public EMathError {
 public:
  using EMathError::EMathError;
};

// An object handed to an operation is not of the class that operation needs.
class EInvalidCast : public Exception {
 public:
  using Exception::Exception;
};

// An operation needs a part of the library that is not present (a window library, a driver).
class ENotAvailable : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace sumora
