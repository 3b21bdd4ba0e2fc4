// sp_executesql: a statement text run as a batch of its own, with declared parameters bound
// from the call, by name or in order, and OUTPUT parameters copied back to the caller.
#include "base/com_error.h"
#include "base/conversions.h"
#include "tsql/interpreter.h"
#include "tsql/lexer.h"
#include "tsql/parser.h"
#include "tsql/runtime.h"

namespace ambit::tsql {
namespace {

[[noreturn]] void Raise(int number, std::string message) {
  throw ComError(number, kErrorSource, std::move(message));
}

// "@a int, @b varchar(10) = 'x' OUTPUT" as procedure parameters.
std::vector<ProcParam> ParseParameterList(const std::string& text) {
  Parser p(text);
  std::vector<ProcParam> params;
  if (p.Peek().kind == TokenKind::kEnd) return params;
  do {
    if (p.Peek().kind != TokenKind::kVariable) p.Fail();
    ProcParam param;
    param.name = ToLowerAscii(p.Advance().text);
    p.AcceptKeyword("as");
    param.type = p.ParseType();
    if (p.AcceptOp("=")) param.default_value = p.ParseUnary();
    if (p.AcceptKeyword("output") || p.AcceptKeyword("out")) param.output = true;
    params.push_back(std::move(param));
  } while (p.AcceptOp(","));
  if (p.Peek().kind != TokenKind::kEnd) p.Fail();
  return params;
}

}  // namespace

void Interpreter::ExecuteSql(const ExecStmt& s, std::vector<RecordsetPtr>* results) {
  // @stmt and @params come first, in order or by those names.
  const Expr* statement = nullptr;
  const Expr* definitions = nullptr;
  size_t first_value = 0;
  for (; first_value < s.args.size() && first_value < 2; ++first_value) {
    const ExecArg& arg = s.args[first_value];
    if (arg.name == "@stmt" || (arg.name.empty() && first_value == 0)) {
      statement = arg.value.get();
    } else if (arg.name == "@params" || (arg.name.empty() && first_value == 1)) {
      definitions = arg.value.get();
    } else {
      break;
    }
  }
  if (statement == nullptr) {
    Raise(201, "Procedure or function 'sp_executesql' expects parameter '@statement', which "
               "was not supplied.");
  }
  Variant text = Evaluate(*statement);
  if (text.IsNull()) return;
  std::string sql = CStr(ConvertValue(text, "nvarchar(max)"));
  std::vector<ProcParam> params;
  std::string definition_text;
  if (definitions != nullptr) {
    Variant d = Evaluate(*definitions);
    if (!d.IsNull()) definition_text = CStr(ConvertValue(d, "nvarchar(max)"));
    params = ParseParameterList(definition_text);
  }
  std::vector<const ExecArg*> bound(params.size(), nullptr);
  size_t position = 0;
  for (size_t a = first_value; a < s.args.size(); ++a) {
    const ExecArg& arg = s.args[a];
    size_t index = params.size();
    if (arg.name.empty()) {
      index = position++;
    } else {
      for (size_t i = 0; i < params.size(); ++i) {
        if (params[i].name == arg.name) index = i;
      }
    }
    if (index >= params.size()) {
      if (arg.name.empty()) {
        Raise(8144, "Procedure or function sp_executesql has too many arguments specified.");
      }
      Raise(8145, arg.name + " is not a parameter for procedure sp_executesql.");
    }
    bound[index] = &arg;
  }
  CompiledBatchPtr inner = session_->Compile(sql);
  Frame frame;
  frame.nesting = frame_->nesting + 1;
  for (size_t i = 0; i < params.size(); ++i) {
    Variable v;
    v.type = params[i].type;
    Variant value = Variant::Null();
    if (bound[i] != nullptr && bound[i]->value) {
      value = Evaluate(*bound[i]->value);
    } else if (params[i].default_value) {
      value = Evaluate(*params[i].default_value);
    } else {
      Raise(8178, "The parameterized query '(" + definition_text + ")" + sql +
                      "' expects the parameter '" + params[i].name +
                      "', which was not supplied.");
    }
    v.value = value.IsNull() ? Variant::Null() : ConvertValue(value, v.type.text);
    frame.variables[params[i].name] = v;
  }
  Interpreter nested(session_, results);
  nested.Run(*inner, &frame);
  for (size_t i = 0; i < params.size(); ++i) {
    const ExecArg* arg = bound[i];
    if (arg == nullptr || !arg->output || !params[i].output) continue;
    if (!arg->value || arg->value->kind != ExprKind::kVariable) continue;
    Assign(arg->value->text, frame.variables[params[i].name].value);
  }
}

}  // namespace ambit::tsql
