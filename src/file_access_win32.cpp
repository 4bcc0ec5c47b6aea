#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstring>

#include "file_access.h"
#include "track_tail_format.h"

int OpenInputFile(const char* name) {
  // Refused while the recording application holds the file open for writing.
  int file = -1;
  _sopen_s(&file, name, _O_RDONLY | _O_BINARY, _SH_DENYWR, 0);
  return file;
}

long ReadBytes(int file, void* bytes, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const int got =
        _read(file, static_cast<char*>(bytes) + done, static_cast<unsigned>(size - done));
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<long>(done);
}

// Cut at once: a Ctrl+C then leaves the first lines of the new content, never
// new lines before old ones.
int OpenOutputFile(const char* name) {
  int file = -1;
  _sopen_s(&file, name, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _SH_DENYRW,
           _S_IREAD | _S_IWRITE);
  return file;
}

bool OverwriteFile(int file, const char* bytes, std::size_t size) {
  std::size_t written = 0;
  while (written < size) {
    const int put = _write(file, bytes + written, static_cast<unsigned>(size - written));
    if (put <= 0) return false;
    written += static_cast<std::size_t>(put);
  }
  return true;
}

bool CloseFile(int file) { return _close(file) == 0; }

bool IsTrackTailFileName(const char* name) {
  // Windows opens "track.trb. " as "track.trb".
  std::size_t length = std::strlen(name);
  while (length > 0 && (name[length - 1] == '.' || name[length - 1] == ' ')) --length;
  return EndsInTrackTailExtension(name, length);
}

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
