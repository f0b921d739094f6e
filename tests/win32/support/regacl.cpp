// regacl: replaces the security (DACL) of a key under HKEY_CURRENT_USER, so that the tests can make a
// settings key that refuses writes or reads for real. Wine checks a key's security against the caller, but
// none of the tools that come with it sets one (reg and regedit have no option for it, regini is a stub).
//
//   regacl.exe <subkey of HKCU> <SDDL>

#include <windows.h>
// After windows.h, whose types it uses.
#include <sddl.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, argv[1], 0, WRITE_DAC, &key) != ERROR_SUCCESS) return 1;
  PSECURITY_DESCRIPTOR sd = nullptr;
  LONG result = ERROR_INVALID_PARAMETER;
  if (ConvertStringSecurityDescriptorToSecurityDescriptorW(argv[2], SDDL_REVISION_1, &sd, nullptr)) {
    result = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd);
    LocalFree(sd);
  }
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? 0 : 1;
}
