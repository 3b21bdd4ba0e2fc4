#include "frame/method_frame.h"

namespace ambit {

std::string_view ClassName(ComponentClass cls) {
  switch (cls) {
    case ComponentClass::kOrderInfo: return "AmbitOrderInfo";
    case ComponentClass::kOrderUpdate: return "AmbitOrderUpdate";
    case ComponentClass::kColumnsSet: return "AmbitColumnsSet";
  }
  return "";
}

std::string_view ErrorClassName(ComponentClass cls) {
  return cls == ComponentClass::kColumnsSet ? "AmbitColumnsDefaultSet" : ClassName(cls);
}

Component::Component(ComponentClass cls) : class_(cls) {
  GlobalContextService& service = ThreadContextService();
  call_context_ = service.GetCallContext();
  user_login_ = service.GetCallContext()->CurrentUser();
}

int Component::TransMode() const {
  return class_ == ComponentClass::kOrderUpdate ? kTransModeRequiresTransaction
                                                : kTransModeNoTransaction;
}

void Component::InitContext(const std::string& sDsn) {
  call_context_ = ThreadContextService().GetCallContext();
  call_context_->OpenDataSource(sDsn);
  user_login_ = call_context_->CurrentUser();
}

void Component::RaiseFromMethod(std::string_view method, std::exception_ptr error) {
  if (class_ == ComponentClass::kOrderUpdate && call_context_) {
    try {
      call_context_->Abort();
    } catch (...) {
      // The original error is what the caller must see; a failing Abort adds nothing to it.
    }
  }
  std::string source = "AmbitOrder." + std::string(ErrorClassName(class_)) + "." +
                       std::string(method);
  try {
    std::rethrow_exception(error);
  } catch (const ComError& e) {
    throw e.WithSource(std::move(source));
  } catch (const std::exception& e) {
    throw ComError(err::kUnexpected, std::move(source), e.what());
  } catch (...) {
    throw ComError(err::kUnexpected, std::move(source), "Unknown error.");
  }
}

namespace frame_internal {

void BeginFrame(Component& self) {
  self.call_context().BeginCall();
  // Update methods look at the current connection before opening theirs; the value is
  // replaced below, so the look only matters to hosts that count it.
  if (self.component_class() == ComponentClass::kOrderUpdate)
    (void)self.call_context().CurrentConnection();
}

MethodScope OpenScope(Component& self, std::string sDsn) {
  self.InitContext(sDsn);
  ConnectionPtr connection = self.call_context().Connection();
  return MethodScope{self, std::move(sDsn), std::move(connection)};
}

}  // namespace frame_internal
}  // namespace ambit
