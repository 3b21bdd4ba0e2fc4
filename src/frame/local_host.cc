#include "frame/local_host.h"

#include "base/com_error.h"

namespace ambit {
namespace {

class FixedService : public GlobalContextService {
 public:
  explicit FixedService(std::shared_ptr<LocalCallContext> context)
      : context_(std::move(context)) {}
  CallContextPtr GetCallContext() override { return context_; }

 private:
  std::shared_ptr<LocalCallContext> context_;
};

}  // namespace

Variant LocalCallContext::OpenDataSource(const std::string& connection_string) {
  opened.push_back(connection_string);
  auto it = connections_.find(connection_string);
  if (it == connections_.end()) {
    ConnectionPtr c = opener_(connection_string);
    if (!c)
      throw ComError(err::kUnexpected, "ambit-order.host",
                     "Cannot open data source '" + connection_string + "'.");
    it = connections_.emplace(connection_string, std::move(c)).first;
  }
  data_source_ = connection_string;
  current_ = it->second;
  return Variant(true);
}

ConnectionPtr LocalCallContext::Connection() {
  if (!current_)
    throw ComError(err::kUnexpected, "ambit-order.host",
                   "No data source is open in this call context.");
  return current_;
}

LocalHost::LocalHost(ConnectionOpener opener, UserLoginPtr user)
    : context_(std::make_shared<LocalCallContext>(std::move(opener), std::move(user))) {
  auto context = context_;
  SetContextServiceFactory([context] { return std::make_unique<FixedService>(context); });
  ResetThreadContextService();
}

LocalHost::~LocalHost() {
  SetContextServiceFactory(nullptr);
  ResetThreadContextService();
}

}  // namespace ambit
