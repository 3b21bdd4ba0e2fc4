// Expression nodes come from a per-thread list of freed nodes. Parsing a list statement makes
// several hundred of them and drops them all when the statement is done; the C library hands
// blocks of this size back through its consolidating bins, which cost more than building the
// node. A node freed on another thread than the one that made it simply joins that thread's
// list.
#include "tsql/ast.h"

#include <new>

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

// A batch of one huge statement must not keep its memory for the thread's life.
constexpr size_t kMaxPooledNodes = 4096;

struct FreeNode {
  FreeNode* next;
};

// Set when the thread's list is gone: nodes a later destructor of the exiting thread frees
// (a static or thread-local holding a parse tree) go back to the heap. A plain flag has no
// destructor, so it can still be read then.
thread_local bool pool_closed = false;

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
