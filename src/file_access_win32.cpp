#include <share.h>
#include <windows.h>

#include <cstdio>

#include "file_access.h"

std::FILE* OpenInputFile(const char* name) {
  // Refused while the recording application holds the file open for writing.
  return _fsopen(name, "rb", _SH_DENYWR);
}

std::FILE* OpenOutputFile(const char* name) { return _fsopen(name, "wb", _SH_DENYRW); }

namespace {

// The volume serial number and file index of an existing file or folder.
bool GetFileIdentity(const char* name, BY_HANDLE_FILE_INFORMATION* identity) {
  HANDLE file = CreateFileA(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool known = GetFileInformationByHandle(file, identity) != 0;
  CloseHandle(file);
  return known;
}

}  // namespace

bool IsSameFile(const char* first_name, const char* second_name) {
  BY_HANDLE_FILE_INFORMATION first;
  BY_HANDLE_FILE_INFORMATION second;
  if (!GetFileIdentity(first_name, &first) || !GetFileIdentity(second_name, &second)) {
    return false;
  }
  return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}
