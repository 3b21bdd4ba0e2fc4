// Helpers every method family shares: quoting text for SQL, system parameters, recordsets as
// collections, the current user and client address, resource texts in the user's language and
// the installation folders. The language, resource loader and paths are cached per thread and
// read once, as the host's services are costly to reach.
#ifndef AMBIT_FRAME_SHARED_HELPERS_H_
#define AMBIT_FRAME_SHARED_HELPERS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "data/recordset.h"
#include "frame/collections.h"
#include "frame/host.h"
#include "frame/host_services.h"

namespace ambit {

// Doubles every apostrophe and drops every CR LF pair. Never fails.
std::string SqlQuote(std::string_view text);

// A client's value as text where a missing one means nothing: Null (a JSON null) and Empty read
// as the empty text, as the platform passes a missing text; anything else as CStr.
std::string TextOrEmpty(const Variant& value);

// One row of t_SystemProfile: FValue as stored, or the default (the empty text when none is
// given) when there is no row.
Variant GetSystemProfile(CallContext& context, std::string_view key, std::string_view category,
                         const Variant& default_value = Variant());

// The current row as a Dictionary (field order kept); fails at the end of the recordset.
DictionaryPtr RecordToDictionary(Recordset& rs);
// Every remaining row, from the current one on; an empty Vector for no rows.
VectorPtr RecordsetToVector(Recordset& rs);

// The user's ID from the security service, for the login of the current call.
int32_t GetLoginUserID(CallContext& context);
// The calling client's address, or the empty text when the host cannot tell.
std::string GetClientAddress();

// 1 = "chs" (default), 2 = "en", 3 = "cht". Never fails: anything unexpected is 1.
int GetLanguageID();
std::string GetLanguageCode();
std::shared_ptr<ResLoader> GetResLoader();
// Translates a plain text or a composite one ("lit^|^~$~key^|^lit"). Never raises for a
// missing translation, so it is safe inside error handling.
std::string LoadResText(std::string_view text);

// Installation folder (ending in the path separator) and its LUMOSYSTEM folder.
std::string GetInstallPath();
std::string GetLumoSystemPath();
// The folder holding the product, found from the process location or the registry.
struct InstallLocation {
  std::string folder;
  std::string product_code;
};
InstallLocation FindInstallPath();

// Forgets the calling thread's caches (tests only: the product keeps them for the thread's
// life).
void ResetSharedHelperCaches();

}  // namespace ambit

#endif  // AMBIT_FRAME_SHARED_HELPERS_H_
