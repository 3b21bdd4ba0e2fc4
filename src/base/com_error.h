// ComError is the one error type of the product: every failure that a caller may see travels as
// a number, a source and a description, the shape clients of the order workbench already know.
#ifndef AMBIT_BASE_COM_ERROR_H_
#define AMBIT_BASE_COM_ERROR_H_

#include <cstdint>
#include <stdexcept>
#include <string>

namespace ambit {

// Error numbers the runtime itself raises. Database errors carry the engine's own numbers
// (208, 207, 102 ...) instead.
namespace err {
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kInvalidArgument = 5;          // "Invalid procedure call or argument"
inline constexpr int32_t kPermissionDenied = 70;
inline constexpr int32_t kObjectRequired = 424;
inline constexpr int32_t kCannotCreateObject = 429;     // ActiveX component can't create object
inline constexpr int32_t kUnexpected = static_cast<int32_t>(0x80004005);  // E_FAIL
inline constexpr int32_t kNoCurrentRecord = 3021;       // BOF or EOF is true
inline constexpr int32_t kItemNotFound = 3265;          // no field of that name
inline constexpr int32_t kObjectClosed = 3704;          // operation on a closed recordset
inline constexpr int32_t kObjectOpen = 3705;            // operation on an open recordset
}  // namespace err

class ComError : public std::runtime_error {
 public:
  ComError(int32_t number, std::string source, std::string description, int32_t help_context = 0)
      : std::runtime_error(description),
        number_(number),
        source_(std::move(source)),
        description_(std::move(description)),
        help_context_(help_context) {}

  int32_t number() const { return number_; }
  const std::string& source() const { return source_; }
  const std::string& description() const { return description_; }
  int32_t help_context() const { return help_context_; }

  // Where a database error arose, as SQL Server reports it: "Msg 102, Level 15, State 1,
  // Procedure p, Line 3". Zero (and an empty procedure) when the error did not come from a
  // database or the database did not say.
  int32_t severity() const { return severity_; }
  int32_t state() const { return state_; }
  int32_t line() const { return line_; }  // 1-based within the batch or procedure
  const std::string& procedure() const { return procedure_; }
  void set_severity(int32_t severity, int32_t state) {
    severity_ = severity;
    state_ = state;
  }
  void set_line(int32_t line) { line_ = line; }
  void set_procedure(std::string procedure) { procedure_ = std::move(procedure); }

  // The same error raised again under another source, as the method frame does.
  ComError WithSource(std::string source) const {
    ComError e(number_, std::move(source), description_, help_context_);
    e.severity_ = severity_;
    e.state_ = state_;
    e.line_ = line_;
    e.procedure_ = procedure_;
    return e;
  }

 private:
  int32_t number_;
  std::string source_;
  std::string description_;
  int32_t help_context_;
  int32_t severity_ = 0;
  int32_t state_ = 0;
  int32_t line_ = 0;
  std::string procedure_;
};

}  // namespace ambit

#endif  // AMBIT_BASE_COM_ERROR_H_
