#include "platform/win32/registry_store.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/win32/handles.h"
#include "platform/win32/text.h"

namespace win32 {

namespace {
std::wstring subKeyOf(std::string_view app, std::string_view section) {
  return L"Software\\" + widen(app) + L"\\" + widen(section);
}
}  // namespace

std::optional<std::wstring> readRegistryText(const std::wstring& subKey, const std::wstring& name,
                                             std::size_t maxChars) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS)
    return std::nullopt;
  const UniqueKey opened(raw);
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
    return std::nullopt;
  // Only text written as REG_SZ counts; any other type, or an over-long value, is ignored and replaced by the
  // next change.
  if (type != REG_SZ || bytes > (maxChars + 1) * sizeof(wchar_t)) return std::nullopt;
  std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
  DWORD size = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
  if (RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                       &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return std::nullopt;
  }
  // The value may or may not carry its terminator, and may hide more after an embedded NUL: the text ends at
  // the first NUL.
  const std::wstring_view whole(buffer.data(), std::min<std::size_t>(size / sizeof(wchar_t), buffer.size()));
  const std::wstring_view text = whole.substr(0, whole.find(L'\0'));
  // The size check above lets through one character more when the value was written without its terminator.
  if (text.size() > maxChars) return std::nullopt;
  return std::wstring(text);
}

void writeRegistryText(const std::wstring& subKey, const std::wstring& name, const std::wstring& text) {
  HKEY raw = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                      nullptr, &raw, nullptr) != ERROR_SUCCESS) {
    return;
  }
  const UniqueKey opened(raw);
  const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  RegSetValueExW(opened.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
}

void deleteRegistryValue(const std::wstring& subKey, const std::wstring& name) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS) return;
  const UniqueKey opened(raw);
  RegDeleteValueW(opened.get(), name.c_str());
}

std::optional<std::string> RegistryStore::read(std::string_view app, std::string_view section,
                                               std::string_view key) {
  const std::optional<std::wstring> text =
      readRegistryText(subKeyOf(app, section), widen(key), kMaxValueChars);
  return text ? std::optional(narrow(*text)) : std::nullopt;
}

void RegistryStore::write(std::string_view app, std::string_view section, std::string_view key,
                          std::string_view value) {
  writeRegistryText(subKeyOf(app, section), widen(key), widen(value));
}

}  // namespace win32
