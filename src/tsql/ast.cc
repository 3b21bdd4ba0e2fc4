// Expression nodes come from a per-thread list of freed nodes. Parsing a list statement makes
// several hundred of them and drops them all when the statement is done; the C library hands
// blocks of this size back through its consolidating bins, which cost more than building the
// node. A node freed on another thread than the one that made it simply joins that thread's
// list. The operand and name lists of dropped nodes are kept the same way, emptied.
#include "tsql/ast.h"

#include <new>
#include <utility>

namespace ambit::tsql {
namespace {

#if defined(__SANITIZE_ADDRESS__)
#define AMBIT_NODE_POOL 0  // the sanitizer must see each node freed
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define AMBIT_NODE_POOL 0
#endif
#endif
#ifndef AMBIT_NODE_POOL
#define AMBIT_NODE_POOL 1
#endif

// A batch of one huge statement must not keep its memory for the thread's life. Nor may the
// nodes of other threads' statements: a connection's cached batches are dropped by whichever
// worker evicts them, so every worker's spares grow to this bound in time, and it is held once
// per worker (at 4096 nodes and 2048 lists, some 2 MB each: the slowest part of a server's
// warm-up under a steady load). 1024 nodes are a statement of some 10 KB of text: a 4 KB
// list statement parses to about 400.
constexpr size_t kMaxPooledNodes = 1024;
constexpr size_t kMaxPooledLists = 512;
// Longer lists (IN lists of thousands of keys) go back to the heap.
constexpr size_t kMaxPooledCapacity = 16;

struct FreeNode {
  FreeNode* next;
};

// Set when the thread's list is gone: nodes a later destructor of the exiting thread frees
// (a static or thread-local holding a parse tree) go back to the heap. A plain flag has no
// destructor, so it can still be read then.
thread_local bool pool_closed = false;

// Emptied lists with their memory, last in first out.
template <typename List>
class ListPool {
 public:
  void Keep(List& list) {
    if (lists_.size() >= kMaxPooledLists || list.capacity() > kMaxPooledCapacity) return;
    list.clear();
    lists_.push_back(std::move(list));
  }
  // Gives `list` (empty, without memory) a kept list's memory when one is there.
  void Take(List* list) {
    if (lists_.empty()) return;
    *list = std::move(lists_.back());
    lists_.pop_back();
  }

 private:
  std::vector<List> lists_;
};

class NodePool {
 public:
  ~NodePool() {
    pool_closed = true;
    while (head_ != nullptr) ::operator delete(Pop());
  }
  void* Take() { return head_ != nullptr ? Pop() : nullptr; }
  bool Keep(void* node) {
    if (count_ >= kMaxPooledNodes) return false;
    head_ = new (node) FreeNode{head_};
    ++count_;
    return true;
  }
  ListPool<std::vector<ExprPtr>> args;
  ListPool<std::vector<std::string>> parts;

 private:
  void* Pop() {
    FreeNode* node = head_;
    head_ = node->next;
    --count_;
    return node;
  }
  FreeNode* head_ = nullptr;
  size_t count_ = 0;
};

thread_local NodePool expr_pool;

}  // namespace

void* Expr::operator new(size_t size) {
  if (AMBIT_NODE_POOL && size == sizeof(Expr) && !pool_closed) {
    if (void* node = expr_pool.Take()) return node;
  }
  return ::operator new(size);
}

void Expr::operator delete(void* node, size_t size) {
  if (AMBIT_NODE_POOL && size == sizeof(Expr) && !pool_closed && expr_pool.Keep(node)) return;
  ::operator delete(node);
}

Expr::~Expr() {
  if (!AMBIT_NODE_POOL || pool_closed) return;
  // Clearing drops the operands first; the list's memory then waits for the next node.
  if (args.capacity() != 0) {
    args.clear();
    expr_pool.args.Keep(args);
  }
  if (parts.capacity() != 0) expr_pool.parts.Keep(parts);
}

void Expr::ReserveArgs(size_t n) {
  if (AMBIT_NODE_POOL && args.capacity() == 0 && !pool_closed) expr_pool.args.Take(&args);
  args.reserve(n);
}

void Expr::ReserveParts(size_t n) {
  if (AMBIT_NODE_POOL && parts.capacity() == 0 && !pool_closed) expr_pool.parts.Take(&parts);
  parts.reserve(n);
}

// Iterative, so that a long chain of joins cannot run the stack out.
void AppendJoinLeaves(const TableRef& ref, std::vector<const TableRef*>* out) {
  std::vector<const TableRef*> pending{&ref};
  while (!pending.empty()) {
    const TableRef* t = pending.back();
    pending.pop_back();
    if (t->kind == TableRef::Kind::kJoin) {
      pending.push_back(t->right.get());
      pending.push_back(t->left.get());
    } else {
      out->push_back(t);
    }
  }
}

}  // namespace ambit::tsql
