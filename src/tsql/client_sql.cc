#include "tsql/client_sql.h"

#include <string>

#include "base/com_error.h"
#include "tsql/parser.h"

namespace ambit::tsql {
namespace {

constexpr char kSource[] = "ambit-order.client-sql";

[[noreturn]] void Refuse(const std::string& what) {
  throw ComError(err::kInvalidArgument, kSource, what);
}

// The engine's own message for text that does not parse, kept for the client.
std::string ParseFailure(const ComError& e) {
  return " (" + e.description() + ")";
}

bool HasInto(const Select& select) {
  for (const SelectBlock& block : select.blocks)
    if (!block.into.empty()) return true;
  return false;
}

// A comment marker outside quotes would swallow the rest of the line, or of the statement, the
// condition is pasted into.
bool HasCommentMarker(std::string_view text) {
  char quote = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == '[') {
      quote = ']';
    } else if (i + 1 < text.size() &&
               ((c == '-' && text[i + 1] == '-') || (c == '/' && text[i + 1] == '*'))) {
      return true;
    }
  }
  return false;
}

}  // namespace

void CheckReadOnlyQuery(std::string_view text) {
  std::unique_ptr<Batch> batch;
  try {
    batch = ParseBatch(text);
  } catch (const ComError& e) {
    Refuse("The query does not parse" + ParseFailure(e) + ".");
  }
  if (batch->statements.size() != 1 || batch->statements[0]->kind != StmtKind::kSelect)
    Refuse("Only a single SELECT statement is accepted here; the text holds " +
           std::to_string(batch->statements.size()) + " statement(s) or another kind.");
  const auto& select = static_cast<const SelectStmt&>(*batch->statements[0]);
  if (HasInto(*select.select)) Refuse("SELECT ... INTO writes a table and is refused here.");
}

void CheckConditionTail(std::string_view text) {
  if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) return;
  if (HasCommentMarker(text)) Refuse("Comments are not accepted in a condition.");
  try {
    Parser parser(text);
    if (!parser.AcceptKeyword("and") && !parser.AcceptKeyword("or"))
      Refuse("The condition must begin with AND or OR.");
    parser.ParseExpr();
    // Anything after the condition (a semicolon, a closing parenthesis, another statement)
    // would change the statement it is pasted into.
    if (parser.Peek().kind != TokenKind::kEnd)
      Refuse("The condition ends at offset " + std::to_string(parser.Offset()) +
             "; what follows is not part of a condition.");
  } catch (const ComError& e) {
    if (e.source() == kSource) throw;
    Refuse("The condition does not parse" + ParseFailure(e) + ".");
  }
}

}  // namespace ambit::tsql
