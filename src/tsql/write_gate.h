// WriteGate: the queue in which this process's writers to one database file wait their turn.
//
// SQLite lets one writer at a time into a database and makes the others poll: its busy
// handler sleeps 1, 2, 5, 10 ... 100 ms between tries, so a writer that waits behind a 3 ms
// transaction often sleeps on long after the lock came free, and under steady load some
// writers lose every race. Writers of one process wait here instead, on a condition variable,
// and the next one starts as soon as the last one ends. SQLite's own lock still settles
// writers of other processes.
#ifndef AMBIT_TSQL_WRITE_GATE_H_
#define AMBIT_TSQL_WRITE_GATE_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace ambit::tsql {

class WriteGate {
 public:
  // The gate of the database file at path (as sqlite3_db_filename reports it); every
  // connection of this process to that file gets the same gate while any of them holds it.
  static std::shared_ptr<WriteGate> ForFile(const std::string& path);

  WriteGate() = default;
  WriteGate(const WriteGate&) = delete;
  WriteGate& operator=(const WriteGate&) = delete;

  // Waits for the gate, in order of arrival, for at most timeout; false when it stayed
  // taken. A transaction may end on another thread than the one that began it, so the
  // gate is not a mutex owned by a thread.
  bool Enter(std::chrono::milliseconds timeout);
  void Leave();

 private:
  void SkipAbandoned();  // mu_ held

  std::mutex mu_;
  std::condition_variable turn_;
  uint64_t next_ticket_ = 0;  // handed to the next arrival
  uint64_t serving_ = 0;      // the ticket whose turn it is
  bool held_ = false;
  std::set<uint64_t> abandoned_;  // tickets whose holders stopped waiting
};

}  // namespace ambit::tsql

#endif  // AMBIT_TSQL_WRITE_GATE_H_
