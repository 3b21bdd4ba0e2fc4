#include "frame/shared_helpers.h"

#include <algorithm>
#include <cctype>

#include "base/com_error.h"
#include "base/conversions.h"
#include "data/command.h"

namespace ambit {
namespace {

struct ThreadCaches {
  int language_id = 0;
  std::shared_ptr<ResLoader> res_loader;
  std::string install_path;
  std::string system_path;
};
thread_local ThreadCaches caches;

constexpr std::string_view kCompositeSeparator = "^|^";
constexpr std::string_view kResourceKeyMark = "~$~";

void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  if (from.empty()) return;
  for (size_t pos = s.find(from); pos != std::string::npos; pos = s.find(from, pos + to.size()))
    s.replace(pos, from.size(), to);
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The separator a path uses: the host's own style, "\" when it has none yet.
char SeparatorOf(std::string_view path) {
  return path.find('/') != std::string_view::npos && path.find('\\') == std::string_view::npos
             ? '/'
             : '\\';
}

std::string TranslatePlain(std::string_view text) {
  if (GetLanguageID() == 1) return std::string(text);
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::string(text);
  size_t last = text.find_last_not_of(' ');
  std::string_view trimmed = text.substr(first, last - first + 1);
  std::string out;
  try {
    out = std::string(first, ' ') + GetResLoader()->LoadString(std::string(trimmed)) +
          std::string(text.size() - 1 - last, ' ');
  } catch (...) {
    out = std::string(text);  // no translation: the text stands as it is
  }
  // Resource texts name the product family of the resource files; users see ours.
  ReplaceAll(out, "Orvo", "Pallas");
  return out;
}

}  // namespace

std::string SqlQuote(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  ReplaceAll(out, "\r\n", "");
  return out;
}

std::string TextOrEmpty(const Variant& value) {
  return value.IsNull() || value.IsEmpty() ? std::string() : CStr(value);
}

Variant GetSystemProfile(CallContext& context, std::string_view key, std::string_view category,
                         const Variant& default_value) {
  Command cmd;
  cmd.active_connection = context.Connection();
  cmd.command_type = CommandType::kText;
  cmd.command_text = "Select FValue From t_SystemProfile Where FCategory = ? And FKey = ?";
  cmd.AddParameter("", DataType::kVarChar, ParameterDirection::kInput, 30,
                   Variant(std::string(category)));
  cmd.AddParameter("", DataType::kVarChar, ParameterDirection::kInput, 30,
                   Variant(std::string(key)));
  RecordsetPtr rs = cmd.Execute();
  if (!rs->IsOpen() || rs->Eof()) return default_value.IsEmpty() ? Variant("") : default_value;
  return rs->Value("FValue");
}

DictionaryPtr RecordToDictionary(Recordset& rs) {
  auto d = NewDictionary();
  for (int i = 0; i < rs.FieldCount(); ++i) d->SetValue(rs.Field(i).name, rs.Value(i));
  return d;
}

VectorPtr RecordsetToVector(Recordset& rs) {
  auto v = NewVector();
  while (!rs.Eof()) {
    v->Add(Variant(RecordToDictionary(rs)));
    rs.MoveNext();
  }
  return v;
}

int32_t GetLoginUserID(CallContext& context) {
  auto security = RequireInterface<SecurityInfo>(CreateHostObject(kProgIdSecurityInfo),
                                                 "GetCurrentUserID");
  UserLoginPtr user = context.CurrentUser();
  if (!user)
    throw ComError(err::kObjectRequired, "ambit-order", "The call has no logged-in user.");
  return CLng(security->GetCurrentUserID(user->LoginToken()));
}

std::string GetClientAddress() {
  std::string first;
  std::string buffer(64, '\0');
  if (ReadTcp(first, buffer) != 1) return "";
  size_t nul = buffer.find('\0');
  return nul == std::string::npos ? buffer : buffer.substr(0, nul);
}

int GetLanguageID() {
  if (caches.language_id == 0) {
    int id = 1;
    try {
      auto info = std::dynamic_pointer_cast<LangInfo>(CreateHostObject(kProgIdLangInfo));
      if (info) {
        std::string language = info->CurrentLanguage();
        if (language == "cht") {
          id = 3;
        } else if (language == "en") {
          id = 2;
        }
      }
    } catch (...) {
      id = 1;  // an unknown language means the default one
    }
    caches.language_id = id;
  }
  return caches.language_id;
}

std::string GetLanguageCode() {
  switch (GetLanguageID()) {
    case 2: return "en";
    case 3: return "cht";
    default: return "chs";
  }
}

std::shared_ptr<ResLoader> GetResLoader() {
  if (!caches.res_loader) {
    auto loader = RequireInterface<ResLoader>(CreateHostObject(kProgIdResLoader), "LoadString");
    loader->ResDirectory = "";
    loader->ResFileBaseName = "ORVOINDUSTRY";
    loader->LanguageID = GetLanguageCode();
    caches.res_loader = std::move(loader);
  }
  return caches.res_loader;
}

std::string LoadResText(std::string_view text) {
  // C++ keeps an exception in flight untouched by this call, so unlike the platform there is
  // no pending error state to save and restore; translation failures are swallowed below.
  if (text.find(kCompositeSeparator) == std::string_view::npos) return TranslatePlain(text);
  std::string out;
  size_t start = 0;
  while (true) {
    size_t sep = text.find(kCompositeSeparator, start);
    std::string_view segment =
        text.substr(start, sep == std::string_view::npos ? std::string_view::npos : sep - start);
    if (segment.starts_with(kResourceKeyMark)) {
      out += LoadResText(segment.substr(kResourceKeyMark.size()));
    } else {
      out += segment;
    }
    if (sep == std::string_view::npos) break;
    start = sep + kCompositeSeparator.size();
  }
  return out;
}

InstallLocation FindInstallPath() {
  ProcessLocation where = GetProcessLocation();
  std::string exe = Upper(where.executable_path.substr(0, 128));
  char sep = SeparatorOf(exe);
  std::string folder, file;
  size_t last = exe.rfind(sep);
  if (last != std::string::npos) {
    folder = exe.substr(0, last);
    file = exe.substr(last + 1);
  }
  if (file == "VB6.EXE" || file == "DLLHOST.EXE") {
    folder = Upper(where.library_folder);
    sep = SeparatorOf(folder);
  }
  while (folder.find(sep) != std::string::npos) {
    size_t cut = folder.rfind(sep);
    std::string component = folder.substr(cut + 1);
    if (component == "ORVOSTANDARD" || component == "ORVOEXPRESS" || component == "ORVOULTIMATE")
      return {folder, component};
    if (component == "LUMOSYSTEM") {
      std::string parent = folder.substr(0, cut);
      size_t parent_cut = parent.rfind(sep);
      return {parent, parent_cut == std::string::npos ? parent : parent.substr(parent_cut + 1)};
    }
    folder = folder.substr(0, cut);
  }
  std::string path = CStr(
      RegistryRead("HKEY_LOCAL_MACHINE\\SOFTWARE\\HALVARD\\LUMOPRODUCT\\", "Path", Variant("")));
  if (path.empty()) path = Upper(where.library_folder);
  return {path, "ORVOULTIMATE"};
}

std::string GetInstallPath() {
  if (caches.install_path.empty()) {
    std::string path = FindInstallPath().folder;
    char sep = SeparatorOf(path);
    if (path.empty() || path.back() != sep) path += sep;
    caches.install_path = path;
  }
  return caches.install_path;
}

std::string GetLumoSystemPath() {
  if (caches.system_path.empty()) caches.system_path = GetInstallPath() + "LUMOSYSTEM";
  return caches.system_path;
}

void ResetSharedHelperCaches() { caches = ThreadCaches{}; }

}  // namespace ambit
