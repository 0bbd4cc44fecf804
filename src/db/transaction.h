// One transaction on an open engine, undone unless it is committed.
#pragma once

#include "db/engine.h"

namespace kadrum {

class Transaction {
 public:
  // How long the transaction is: "short" holds one record or a few (see
  // Engine::begin_short).
  enum class Length { any, short_one };
  // Begins a transaction on "engine". Throws ProviderError.
  explicit Transaction(Engine& engine, Length length = Length::any) : engine_(engine) {
    if (length == Length::short_one)
      engine_.begin_short();
    else
      engine_.begin();
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  // Rolls back whatever was not committed: an error, or a return before
  // commit, leaves the database as it was at the begin.
  ~Transaction() {
    if (!committed_) engine_.rollback();
  }
  // Makes everything since the begin visible at once. Throws ProviderError;
  // the destructor then rolls back.
  void commit() {
    engine_.commit();
    committed_ = true;
  }

 private:
  Engine& engine_;
  bool committed_ = false;
};

}  // namespace kadrum
